// The desktop program leaves its settings file and its field settings table in the folder it
// runs in.

#include <gtest/gtest.h>

extern "C" {
#include <paradox.h>  // a C library whose header does not say so
}

#include <QProcess>
#include <QTemporaryDir>
#include <fstream>
#include <sstream>
#include <string>

#include "convert/workspace.h"
#include "forms/settings_file.h"
#include "tables/table.h"

namespace nox::forms {
namespace {

using tables::FieldType;
using tables::TTable;

std::string ReadAll(const QString& path) {
  std::ifstream in(path.toStdString(), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string CrLf(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines)
    bytes += line + "\r\n";
  return bytes;
}

// FormSet.db as pxlib reads it: a keyed table of the ten fields (name, type, length), no rows.
void ExpectEmptyFormSetTable(const std::string& path) {
  pxdoc_t* doc = PX_new2([](pxdoc_t*, int, const char*, void*) {}, nullptr, nullptr, nullptr);
  ASSERT_EQ(PX_open_file(doc, path.c_str()), 0) << "pxlib cannot open " << path;
  std::vector<std::string> fields;
  for (int i = 0; i < PX_get_num_fields(doc); ++i) {
    const pxfield_t* field = PX_get_field(doc, i);
    fields.push_back(std::string(field->px_fname) + (field->px_ftype == pxfAlpha ? " A" : " L") +
                     std::to_string(field->px_flen));
  }
  EXPECT_EQ(fields,
            (std::vector<std::string>{
                "FormName A40", "FormCondition A100", "Recv A40", "RecvDesc A40", "RecvLabel A40",
                "RecvLabels A100", "Visible L1", "Enabled L1", "Required L1", "Condition A100"}));
  float keyFields = 0;
  EXPECT_EQ(PX_get_value(doc, "numprimkeys", &keyFields), 0);
  EXPECT_EQ(keyFields, 3);
  EXPECT_EQ(PX_get_num_records(doc), 0);
  PX_close(doc);
  PX_delete(doc);
}

TEST(NoxconvertSettings, AnUnattendedRunWritesParamsIniAndKeepsTheUsersValues) {
  QTemporaryDir tables;
  QTemporaryDir folder;  // empty: where the program runs
  ASSERT_TRUE(tables.isValid() && folder.isValid());
  const std::string dir = tables.path().toStdString();
  TTable source;
  source.SetDatabaseName(dir);
  source.SetTableName("SRC.DBF");
  source.FieldDefs() = {{"CODE", FieldType::Integer}};
  source.CreateTable();
  TTable target;
  target.SetDatabaseName(dir);
  target.SetTableName("DST.DB");
  target.FieldDefs() = {{"CODE", FieldType::Integer}};
  target.CreateTable();
  source.Close();  // the program must find both tables free
  target.Close();
  {
    convert::Workspace workspace;
    ASSERT_TRUE(workspace.New(dir + "/SRC.DBF", dir + "/DST.DB"));
    workspace.AddFieldRelation(0, 0);
    ASSERT_TRUE(workspace.SaveAs(dir + "/run.cnv"));
  }

  const QString params = folder.filePath(QStringLiteral("Params.ini"));
  const auto run = [&] {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), folder.filePath(QStringLiteral("data")));
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(folder.path());
    program.start(QStringLiteral(NOXCONVERT_PATH),
                  {QString::fromStdString(dir + "/run.cnv"), QStringLiteral("AUTO")});
    ASSERT_TRUE(program.waitForFinished(60000)) << "the program did not end by itself";
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
  };

  run();
  ExpectEmptyFormSetTable(folder.filePath(QStringLiteral("FormSet.db")).toStdString());
  InterfaceSettings first;
  first.fonts.fill("Not defined");
  EXPECT_EQ(ReadAll(params), CrLf(SettingsFileLines(first)));

  // The user's values stay; only what is blank takes its default.
  InterfaceSettings user = first;
  user.languages[0] = 2;
  user.fonts[0] = "FONT:Arial;10";
  user.keyboards[2] = "GERMAN";
  user.charSetNames[0] = "BALTIC";
  std::ofstream(params.toStdString(), std::ios::binary) << CrLf(SettingsFileLines(user));
  run();
  InterfaceSettings kept = user;
  kept.dirForTransl = folder.filePath(QStringLiteral("data/nox/LangUpd")).toStdString();
  kept.dirForSysTransl = "/usr/local/share/nox/LangUpd";
  EXPECT_EQ(ReadAll(params), CrLf(SettingsFileLines(kept)));
}

}  // namespace
}  // namespace nox::forms

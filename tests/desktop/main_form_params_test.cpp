// The desktop program leaves its settings file, its language table and its field settings table in
// the folder it runs in.

#include <gtest/gtest.h>

extern "C" {
#include <paradox.h>  // a C library whose header does not say so
}

#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "convert/description_file.h"
#include "convert/workspace.h"
#include "forms/settings_file.h"
#include "forms/translation_store.h"
#include "tables/table.h"
#include "tables/value_convert.h"
#include "tests/support/program_run.h"

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

// A description copying one field between two new tables of that directory; gives its path.
std::string MakeDescription(const std::string& dir) {
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
  convert::Workspace workspace;
  EXPECT_TRUE(workspace.New(dir + "/SRC.DBF", dir + "/DST.DB"));
  workspace.AddFieldRelation(0, 0);
  EXPECT_TRUE(workspace.SaveAs(dir + "/run.cnv"));
  return dir + "/run.cnv";
}

// Runs the program on the description, unattended, in the folder.
void RunUnattended(const QTemporaryDir& folder, const std::string& description) {
  QProcess program;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  environment.insert(QStringLiteral("XDG_DATA_HOME"), folder.filePath(QStringLiteral("data")));
  program.setProcessEnvironment(environment);
  program.setWorkingDirectory(folder.path());
  program.start(QStringLiteral(NOXCONVERT_PATH),
                {QString::fromStdString(description), QStringLiteral("AUTO")});
  ASSERT_TRUE(program.waitForFinished(60000)) << "the program did not end by itself";
  EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
}

TEST(NoxconvertSettings, AnUnattendedRunWritesParamsIniAndKeepsTheUsersValues) {
  QTemporaryDir tables;
  QTemporaryDir folder;  // empty: where the program runs
  ASSERT_TRUE(tables.isValid() && folder.isValid());
  const std::string description = MakeDescription(tables.path().toStdString());
  const QString params = folder.filePath(QStringLiteral("Params.ini"));
  const auto run = [&] { RunUnattended(folder, description); };

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

TEST(NoxconvertLanguageTable, TheFirstRunCreatesItFromTheShippedTextsAndNoxconvReadsIt) {
  QTemporaryDir tables;
  QTemporaryDir folder;
  ASSERT_TRUE(tables.isValid() && folder.isValid());
  RunUnattended(folder, MakeDescription(tables.path().toStdString()));

  // Nothing configured: the engine's shared directory is the current one.
  const std::filesystem::path path = folder.filePath(QStringLiteral("Lnoxconv.db")).toStdString();
  ASSERT_TRUE(std::filesystem::exists(path));
  TTable table;
  table.SetDatabaseName(folder.path().toStdString());
  table.SetTableName("Lnoxconv.db");
  table.Open();
  const std::vector<std::pair<FieldType, int>> fields = {
      {FieldType::AutoInc, 0},  {FieldType::String, 40},  {FieldType::String, 1},
      {FieldType::String, 250}, {FieldType::String, 250}, {FieldType::String, 250}};
  ASSERT_EQ(table.FieldCount(), 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(table.Fields(i).DataType(), fields[static_cast<std::size_t>(i)].first) << i;
    EXPECT_EQ(table.Fields(i).Size(), fields[static_cast<std::size_t>(i)].second) << i;
  }
  table.Close();

  // One entry per key of the resource-string file beside the program (none without one).
  std::vector<std::string> keys;
  const std::filesystem::path shipped =
      std::filesystem::path(NOXCONVERT_PATH).parent_path() / kDefaultResourceFile;
  if (std::filesystem::exists(shipped)) {
    for (const ResourceEntry& entry :
         ResourceEntries(convert::DescriptionText::ReadFile(shipped).lines)) {
      const bool known = std::any_of(keys.begin(), keys.end(), [&](const std::string& key) {
        return tables::EqualNoCase(key, entry.key);
      });
      if (!IsBlankText(entry.key) && !known) keys.push_back(entry.key);
    }
  }
  const test::ProgramRun dump =
      test::RunCommand(std::string(NOXCONV_PATH) + " --dump '" + path.string() + "' 2>&1");
  EXPECT_EQ(dump.status, 0) << dump.out;
  EXPECT_EQ(dump.out.substr(0, dump.out.find('\n')), "KeyPx,Key,Sys,Lang1,Lang2,Lang3");
  EXPECT_EQ(static_cast<std::size_t>(std::count(dump.out.begin(), dump.out.end(), '\n')),
            keys.size() + 1);
}

}  // namespace
}  // namespace nox::forms

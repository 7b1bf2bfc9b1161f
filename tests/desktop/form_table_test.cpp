// The table window opened from the main window: a record corrected in its fields is stored, a
// refused one is not, filters and the user's filter list, the search on an indexed column,
// deleting after a question, and a conversion that meets a table held by the window.

#include "desktop/form_table.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "controls/combo_box.h"
#include "controls/data_source.h"
#include "controls/db_edit.h"
#include "controls/look_list.h"
#include "convert/workspace.h"
#include "desktop/main_form.h"
#include "tables/table.h"
#include "tests/forms/dialog_probe.h"

namespace nox::forms {
namespace {

using tables::FieldType;
using tables::TTable;
using tables::Value;
using testing::DialogAnswerer;

// A source CLIENTS.DBF with codes 1 to 3 and a keyed target CUSTOMER.DB that already holds code 2,
// so that a run leaves one key violation; the main window on a description over them.
class FormTableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    std::filesystem::remove(FilterListPath());
    TTable source;
    Name(source, "CLIENTS.DBF");
    source.FieldDefs() = {{"CODE", FieldType::Integer}, {"NAME", FieldType::String, 20}};
    source.CreateTable();
    source.Open();
    for (int code = 1; code <= 3; ++code)
      Store(source, code, "Client " + std::to_string(code));
    source.Close();
    TTable target;
    Name(target, "CUSTOMER.DB");
    target.FieldDefs() = {{"CODE", FieldType::Integer, 0, true},
                          {"NAME", FieldType::String, 20},
                          {"SHORT", FieldType::SmallInt}};
    target.IndexDefs() = {{"", "CODE", tables::ixPrimary}};
    target.CreateTable();
    target.Open();
    Store(target, 2, "Old 2");
    target.Close();

    convert::Workspace workspace;
    ASSERT_TRUE(workspace.New(Path("CLIENTS.DBF"), Path("CUSTOMER.DB")));
    workspace.AddFieldRelation(0, 0);
    workspace.AddFieldRelation(1, 1);
    ASSERT_TRUE(workspace.SaveAs(Path("sales.cnv")));
    MainFormStart start;
    start.arguments = {Path("sales.cnv")};
    start.busyWait = false;
    start.linkService = "NOXFORMTABLETEST";
    main = CreateForm<TMainForm>(std::move(start));
    main->show();
    ASSERT_TRUE(main->Workspace().LoadOk);
  }

  std::string Path(const char* name) const { return dir.path().toStdString() + "/" + name; }
  void Name(TTable& table, const char* name) const {
    table.SetDatabaseName(dir.path().toStdString());
    table.SetTableName(name);
  }
  static void Store(TTable& table, int code, const std::string& name) {
    table.Append();
    table.FieldByName("CODE").SetValue(Value::Integer(code));
    table.FieldByName("NAME").SetValue(Value::Text(name));
    table.Post();
  }
  // The names of a table's records by code, as another program reads them.
  std::string Names(const char* file) const {
    TTable table;
    Name(table, file);
    table.Open();
    std::string names;
    for (table.First(); !table.Eof(); table.Next())
      names +=
          table.FieldByName("CODE").AsString() + "=" + table.FieldByName("NAME").AsString() + ";";
    return names;
  }
  void Convert() {
    main->ConvertClick();
    TFormConvert& convert = main->FormConvert();
    convert.BBConvertClick();
    while (convert.Run() != nullptr && convert.Run()->IsRunning())
      convert.TimerConvTimer();
    convert.hide();
  }
  TFormTable& OnlyTableForm() {
    EXPECT_EQ(main->TableForms().size(), 1u);
    return *main->TableForms().front();
  }
  // Types into a field's edit as the user does and stores the record.
  bool Correct(TFormTable& form, const char* field, const char* text) {
    controls::TNoxDBEdit* edit = form.FieldEdit(field);
    EXPECT_NE(edit, nullptr) << field;
    edit->selectAll();
    QTest::keyClicks(edit, QString::fromLatin1(text));
    return form.BBPostClick();
  }

  QTemporaryDir dir;
  FormPtr<TMainForm> main;
};

TEST_F(FormTableTest, CorrectedKeyViolationIsStoredAndTheTablesGoBackToTheWorkspace) {
  Convert();
  ASSERT_EQ(main->FormConvert().Run()->State(), convert::RunState::Complete);
  ASSERT_EQ(main->FormConvert().Run()->KeyViolationCount(), 1u);

  main->KeyViolTableClick();
  TFormTable& form = OnlyTableForm();
  EXPECT_FALSE(main->Workspace().TableKeyViol.Active()) << "let go while the window holds it";
  EXPECT_TRUE(Correct(form, "NAME", "Fixed 2"));
  EXPECT_EQ(form.DataSource().State(), tables::TableState::Browse);

  // The same for the target; a second click on the menu item shows the same window.
  main->TargetTableClick();
  main->TargetTableClick();
  ASSERT_EQ(main->TableForms().size(), 2u);
  TFormTable& target = *main->TableForms().back();
  EXPECT_FALSE(main->Workspace().TableTarget.Active());
  EXPECT_TRUE(Correct(target, "NAME", "New 1"));

  target.close();
  form.close();
  EXPECT_TRUE(main->TableForms().empty());
  EXPECT_TRUE(main->Workspace().TableTarget.Active());
  EXPECT_TRUE(main->Workspace().TableKeyViol.Active());
  main.reset();  // the workspace holds the tables it took back
  EXPECT_EQ(Names("CUSTOMKV.DB"), "2=Fixed 2;");
  EXPECT_EQ(Names("CUSTOMER.DB"), "1=New 1;2=Old 2;3=Client 3;");
}

TEST_F(FormTableTest, RefusedRecordIsShownAndNothingIsStored) {
  struct Case {
    const char* field;
    const char* typed;
    const char* message;
  };
  const Case cases[] = {
      {"CODE", "1", "Key violation"},
      {"SHORT", "70000", "SHORT takes a number from -32768 to 32767"},
      {"SHORT", "abc", "SHORT takes a number from -32768 to 32767"},
  };
  Convert();  // the target holds 1, 2 and 3
  main->TargetTableClick();
  TFormTable& form = OnlyTableForm();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    ASSERT_TRUE(form.DataSource().MoveTo(1));  // code 2
    DialogAnswerer answers;
    EXPECT_FALSE(Correct(form, c.field, c.typed));
    ASSERT_EQ(answers.Shown().size(), 1u);
    EXPECT_EQ(answers.Shown()[0].message, QString::fromLatin1(c.message));
    EXPECT_TRUE(form.DataSource().Editing()) << "the correction stays to be fixed";
    form.BBCancelClick();
  }
  form.close();
  main.reset();
  EXPECT_EQ(Names("CUSTOMER.DB"), "1=Client 1;2=Old 2;3=Client 3;");
}

TEST_F(FormTableTest, FilterShowsItsRecordsAndIsKeptWhileABadOneChangesNothing) {
  main->SourceTableClick();
  TFormTable& form = OnlyTableForm();
  auto* filter = form.findChild<controls::TNoxComboBox*>(QStringLiteral("CBFilter"));
  ASSERT_NE(filter, nullptr);
  for (int twice = 0; twice < 2; ++twice) {
    filter->setText(QStringLiteral("CODE >= 2"));
    EXPECT_TRUE(form.BBFilterClick());
  }
  EXPECT_EQ(form.Table().RecordCount(), 2u);

  DialogAnswerer answers;
  filter->setText(QStringLiteral("CODE >="));
  EXPECT_FALSE(form.BBFilterClick());
  ASSERT_EQ(answers.Shown().size(), 1u);
  EXPECT_TRUE(answers.Shown()[0].message.startsWith(QStringLiteral("The filter \"CODE >=\"")))
      << answers.Shown()[0].message.toStdString();
  EXPECT_EQ(form.Table().RecordCount(), 2u) << "the view stays as it was";

  // The filter that worked, once, in the user's list file, and offered by the next window.
  std::ifstream file(FilterListPath());
  std::stringstream lines;
  lines << file.rdbuf();
  EXPECT_EQ(lines.str(), "CODE >= 2\r\n");
  form.close();
  main->SourceTableClick();
  EXPECT_EQ(OnlyTableForm().findChild<controls::TNoxComboBox*>(QStringLiteral("CBFilter"))->Items(),
            QStringList{QStringLiteral("CODE >= 2")});
}

TEST_F(FormTableTest, TypingSearchesAnIndexedColumnAndSaysWhenAColumnHasNone) {
  main->TargetTableClick();
  TFormTable& form = OnlyTableForm();
  auto* records = form.findChild<controls::TNoxLookList*>(QStringLiteral("LLRecords"));
  auto* noSearch = form.findChild<QLabel*>(QStringLiteral("LblNoSearch"));
  ASSERT_NE(records, nullptr);
  records->PrepareSearch();
  EXPECT_TRUE(noSearch->isHidden());
  QTest::keyClicks(records, QStringLiteral("2"));
  EXPECT_EQ(form.Table().FieldByName("NAME").AsString(), "Old 2");

  records->setCurrentIndex(records->model()->index(0, 1));  // NAME: no index
  records->PrepareSearch();
  EXPECT_FALSE(noSearch->isHidden());
  EXPECT_FALSE(records->Searchable());
}

TEST_F(FormTableTest, DeleteAsksFirstAndNoKeepsTheRecord) {
  Convert();
  main->TargetTableClick();
  TFormTable& form = OnlyTableForm();
  for (const char* answer : {"BtnCancel", "BtnOK"}) {  // No, then Yes
    SCOPED_TRACE(answer);
    ASSERT_TRUE(form.DataSource().MoveTo(1));  // code 2
    DialogAnswerer answers(QString::fromLatin1(answer), QStringLiteral("LblSoob"));
    EXPECT_EQ(form.BBDeleteRecordClick(), answer == std::string("BtnOK"));
    ASSERT_EQ(answers.Shown().size(), 1u);
    EXPECT_EQ(answers.Shown()[0].message, QStringLiteral("Delete the record?"));
  }
  EXPECT_EQ(form.Table().RecordCount(), 2u);
  // On disk before the window closes, so that a program killed now keeps the deletion: the
  // Paradox header's record count (4 bytes at offset 6).
  std::ifstream file(Path("CUSTOMER.DB"), std::ios::binary);
  unsigned char count[10] = {};
  file.read(reinterpret_cast<char*>(count), sizeof count);
  EXPECT_EQ(count[6] | count[7] << 8 | count[8] << 16 | count[9] << 24, 2);
  form.close();
  main.reset();
  EXPECT_EQ(Names("CUSTOMER.DB"), "1=Client 1;3=Client 3;");
}

TEST_F(FormTableTest, ConversionWaitsWhileAWindowHoldsOneOfItsTables) {
  main->TargetTableClick();
  {
    DialogAnswerer answers;
    Convert();
    ASSERT_EQ(answers.Shown().size(), 1u);
    EXPECT_EQ(answers.Shown()[0].message,
              QStringLiteral("The table 'CUSTOMER.DB' is open in a table window: close that window "
                             "before converting."));
  }
  EXPECT_EQ(Names("CUSTOMER.DB"), "2=Old 2;");
  OnlyTableForm().close();
  Convert();
  EXPECT_EQ(main->FormConvert().Run()->State(), convert::RunState::Complete);
  main.reset();
  EXPECT_EQ(Names("CUSTOMER.DB"), "1=Client 1;2=Old 2;3=Client 3;");
}

}  // namespace
}  // namespace nox::forms

// The lookup combo and the lookup list on real Paradox tables, driven by keys and clicks: codes
// stored right-aligned, a lower-case Latvian letter, the list's filter and its size.

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLabel>
#include <QTest>

#include "controls/incremental_search.h"
#include "controls/look_list.h"
#include "controls/lookup_combo.h"
#include "forms/text.h"
#include "tests/forms/dialog_probe.h"
#include "tests/support/memory_storage.h"
#include "tests/support/temp_dir.h"

namespace nox::controls {
namespace {

using tables::Value;

// A keyed Paradox table with a text key of `size` characters and three more fields.
void MakeTable(tables::TTable& table, const std::filesystem::path& dir, const char* name, int size,
               const std::vector<std::string>& keys) {
  table.SetDatabaseName(dir.string());
  table.SetTableName(name);
  table.FieldDefs() = {{"KEY", tables::FieldType::String, size, true},
                       {"NAME", tables::FieldType::String, 20},
                       {"CITY", tables::FieldType::String, 10},
                       {"QTY", tables::FieldType::Integer}};
  table.IndexDefs() = {{"", "KEY", tables::ixPrimary | tables::ixUnique}};
  table.CreateTable();
  table.Open();
  int i = 0;
  for (const std::string& key : keys) {
    table.Append();
    table.FieldByName("KEY").SetAsString(key);
    table.FieldByName("NAME").SetAsString("Name " + std::to_string(++i));
    table.FieldByName("QTY").SetValue(Value::Integer(i));
    table.Post();
  }
  // Writing took the table for itself; the lookup reads it shared.
  table.Close();
  table.Open();
}

class LookupTest : public ::testing::Test {
 protected:
  void Open(const char* name, int size, const std::vector<std::string>& keys) {
    MakeTable(table, dir.path(), name, size, keys);
    source.SetDataSet(&table);
    combo.SetLookupSource(&source);
    combo.SetLookupField("KEY");
    combo.SetLookupDisplay("KEY;NAME;CITY;QTY");
    combo.setGeometry(400, 300, 100, 22);
    combo.show();
  }

  std::string Typed(const QString& keys) {
    combo.clear();
    combo.DropDown();
    EXPECT_TRUE(combo.DroppedDown());
    for (const QChar key : keys) {
      QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(key));
      QCoreApplication::sendEvent(&combo, &press);
    }
    return combo.GridTable()->FieldByName("KEY").AsString();
  }

  void TearDown() override {
    for (const auto& shown : answerer.Shown())
      ADD_FAILURE() << shown.message.toStdString();
  }

  forms::testing::DialogAnswerer answerer;
  test::TempDir dir;
  tables::TTable table;
  TNoxDataSource source;
  TNoxLookupCombo combo;
};

TEST_F(LookupTest, RightAlignedCodesAreFoundWithTheirLeadingBlanks) {
  Open("CODES.DB", 3, {"  7", " 42", "123"});
  TNoxLookList list;
  list.SetDataSource(&source);
  list.show();
  const struct {
    const char* typed;
    const char* key;
  } cases[] = {{"4", " 42"}, {"7", "  7"}, {"12", "123"}, {"42", " 42"}, {"9", "  7"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    EXPECT_EQ(Typed(QString::fromLatin1(c.typed)), c.key);
    QTest::keyClick(&combo, Qt::Key_Return);
    EXPECT_FALSE(combo.DroppedDown());
    EXPECT_EQ(combo.text().toStdString(), c.key);

    source.First();
    list.setFocus();
    list.PrepareSearch();
    QTest::keyClicks(&list, QString::fromLatin1(c.typed));
    EXPECT_EQ(table.FieldByName("KEY").AsString(), c.key);
  }
  // A character that finds nothing stays where the list was and is not added to the text.
  EXPECT_EQ(list.Search().Text(), "");
}

// Number codes are searched as numbers: the typed digits find the smallest code beginning with
// them, not the nearest number above them (11 finds 110, not 101).
TEST(IncrementalSearch, NumberCodesAreFoundByTheirLeadingDigits) {
  std::vector<tables::Record> records;
  for (const std::int64_t code : {7, 42, 101, 110, 112, 1100})
    records.push_back({Value::Integer(code)});
  tables::TTable table;
  table.OpenOnStorage(test::MakeMemoryStorage({{"CODE", tables::FieldType::Integer, 0, true}},
                                              {{"", "CODE", tables::ixPrimary | tables::ixUnique}},
                                              std::move(records)));
  const struct {
    const char* typed;
    const char* text;  // what the search keeps
    const char* code;
  } cases[] = {{"11", "11", "110"},   {"110", "110", "110"}, {"1100", "1100", "1100"},
               {"112", "112", "112"}, {"4", "4", "42"},      {"12", "1", "101"},
               {"2", "", "7"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    table.First();
    TIncrementalSearch search;
    for (const char* typed = c.typed; *typed != 0; ++typed)
      search.Type(table, *typed);
    EXPECT_EQ(search.Text(), c.text);
    EXPECT_EQ(table.FieldByName("CODE").AsString(), c.code);
  }
}

TEST_F(LookupTest, LowerCaseLatvianLetterFindsTheUpperCaseOneAndShowsIt) {
  const std::string upperA = "\xC2";  // Ā in Windows-1257
  Open("WORDS.DB", 10, {upperA + "BOLS", "BAN" + upperA + "NS", "\xDEOGS"});
  EXPECT_EQ(Typed(QString::fromUtf8("ā")), upperA + "BOLS");
  EXPECT_EQ(combo.Search().Text(), upperA);
  const auto* label = combo.Popup().SearchPanel().findChild<QLabel*>("SearchLabel");
  EXPECT_EQ(label->text(), QString::fromUtf8("Ā"));
  EXPECT_TRUE(combo.Popup().SearchPanel().isVisible());
  QTest::keyClick(&combo, Qt::Key_Backspace);
  EXPECT_FALSE(combo.Popup().SearchPanel().isVisible());
  QTest::keyClick(&combo, Qt::Key_Escape);
  EXPECT_FALSE(combo.DroppedDown());
}

TEST_F(LookupTest, LookFilterDecidesTheRowsWhateverTheLookupSourceHolds) {
  Open("CODES.DB", 3, {"  7", " 42", "123"});
  table.SetFilter("QTY > 1");
  table.SetFiltered(true);
  const struct {
    const char* lookFilter;
    int rows;
  } cases[] = {{"", 3}, {"TRUE", 2}, {"true", 2}, {"QTY = 3", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lookFilter);
    combo.SetLookFilter(c.lookFilter);
    combo.DropDown();
    combo.Popup().Grid().Model().FetchAll();
    EXPECT_EQ(combo.Popup().Grid().Model().rowCount(), c.rows);
    combo.CloseUp(false);
  }
  EXPECT_TRUE(table.Filtered());  // the lookup source keeps its own filter
}

TEST_F(LookupTest, LookColCountSetsTheWidthAndAddsARow) {
  Open("CODES.DB", 3, {"  7", " 42", "123", "200", "300"});
  combo.SetLookColWidths("40;50;60;70");
  combo.SetDropDownCount(3);
  const struct {
    int colCount;
    int width;
    int rows;
  } cases[] = {{0, 40 + 50 + 60 + 70 + 20, 3}, {2, 40 + 50 + 20, 4}, {1, 100, 4}};
  int rowHeight = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.colCount);
    combo.SetLookColCount(c.colCount);
    combo.DropDown();
    const TNoxDBGrid& grid = combo.Popup().Grid();
    rowHeight = grid.verticalHeader()->defaultSectionSize();
    EXPECT_EQ(grid.width(), c.width);  // never narrower than the control
    EXPECT_EQ(grid.height(), c.rows * rowHeight + 6);
    // Right-aligned with the control when wider, and below it.
    EXPECT_EQ(combo.Popup().geometry().right(), combo.mapToGlobal(QPoint(99, 0)).x());
    EXPECT_EQ(combo.Popup().geometry().top(), combo.mapToGlobal(QPoint(0, 22)).y());
    combo.CloseUp(false);
  }
}

// A bound combo: a click on a row chooses it, leaving pads a code with Right and stores it; a key
// the bound field cannot hold is refused; DataIndexFields positions the list on the record's value.
TEST_F(LookupTest, ChosenRowReachesTheBoundFieldPaddedOnLeaving) {
  Open("CODES.DB", 3, {"  7", " 42", "123"});
  tables::TTable orders;
  MakeTable(orders, dir.path(), "ORDERS.DB", 4, {"A1", "A2"});
  TNoxDataSource orderSource;
  orderSource.SetDataSet(&orders);
  combo.SetDataSource(&orderSource);
  combo.SetDataField("CITY");
  combo.SetRight(true);

  combo.DropDown();
  TNoxDBGrid& grid = combo.Popup().Grid();
  QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                    grid.visualRect(grid.Model().index(1, 1)).center());
  EXPECT_FALSE(combo.DroppedDown());
  EXPECT_EQ(combo.text(), " 42");
  EXPECT_EQ(orderSource.State(), tables::TableState::Edit);

  combo.clear();
  QTest::keyClicks(&combo, "7");
  QFocusEvent leaving(QEvent::FocusOut, Qt::TabFocusReason);
  QCoreApplication::sendEvent(&combo, &leaving);
  EXPECT_EQ(combo.text(), "  7");
  ASSERT_TRUE(orderSource.Post());
  EXPECT_EQ(orders.FieldByName("CITY").AsString(), "  7");

  // DataIndexFields: the list opens on the record whose code the order holds.
  combo.SetDataIndexFields("CITY");
  combo.clear();
  combo.DropDown();
  EXPECT_EQ(combo.GridTable()->FieldByName("KEY").AsString(), "  7");
  combo.CloseUp(false);

  // A letter for a number field is refused.
  combo.SetDataField("QTY");
  combo.clear();
  QTest::keyClicks(&combo, "1x2");
  EXPECT_EQ(combo.text(), "12");
}

}  // namespace
}  // namespace nox::controls

// The single-byte texts of the grids, lists and memos: shown in the code page of the control's
// character set, shown again when the window gives it another, and stored as they were.

#include <gtest/gtest.h>

#include <QTest>

#include "controls/memo.h"
#include "controls/string_grid.h"
#include "forms/fonts.h"
#include "tests/support/memory_storage.h"

namespace nox::controls {
namespace {

TEST(TextControlsTest, BytesShowInTheCharacterSetsCodePageAndStayAsStored) {
  const std::string bytes = "\xC0\xE1";  // Ą and į in Windows-1257, А and б in Windows-1251
  const struct {
    int charSet;
    const char* shown;
  } cases[] = {{186, "Ąį"}, {204, "Аб"}};
  TNoxStringGrid grid;
  grid.SetCells(1, 2, bytes);
  TNoxListBox list;
  list.AddDataItem(bytes);
  TNoxMemo memo;
  memo.SetDataText(bytes);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.charSet);
    for (QWidget* control : std::initializer_list<QWidget*>{&grid, &list, &memo})
      control->setProperty(forms::kCharSetProperty, c.charSet);
    EXPECT_EQ(grid.item(2, 1)->text(), QString::fromUtf8(c.shown));
    EXPECT_EQ(list.item(0)->text(), QString::fromUtf8(c.shown));
    EXPECT_EQ(memo.toPlainText(), QString::fromUtf8(c.shown));
    EXPECT_EQ(grid.Cells(1, 2), bytes);
    EXPECT_EQ(list.DataItem(0), bytes);
    EXPECT_EQ(memo.DataText(), bytes);
  }
  // A character the code page lacks is refused as it is typed.
  QKeyEvent foreign(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf8("\u4E2D"));
  QCoreApplication::sendEvent(&memo, &foreign);
  EXPECT_EQ(memo.DataText(), bytes);
}

TEST(TextControlsTest, DataMemoWritesWhatWasTypedWhenTheRecordIsStored) {
  tables::TTable table;
  table.OpenOnStorage(test::MakeMemoryStorage({{"NOTE", tables::FieldType::Memo}}, {},
                                              {{tables::Value::Text("old")}}));
  TNoxDataSource source;
  source.SetDataSet(&table);
  TNoxDBMemo memo;
  memo.SetDataSource(&source);
  memo.SetDataField("NOTE");
  EXPECT_EQ(memo.toPlainText(), "old");
  memo.moveCursor(QTextCursor::End);
  QTest::keyClicks(&memo, "er");
  EXPECT_EQ(source.State(), tables::TableState::Edit);
  EXPECT_EQ(table.FieldByName("NOTE").AsString(), "old");  // not yet
  ASSERT_TRUE(source.Post());
  EXPECT_EQ(table.FieldByName("NOTE").AsString(), "older");
  memo.moveCursor(QTextCursor::End);
  QTest::keyClicks(&memo, "!");
  QTest::keyClick(&memo, Qt::Key_Escape);
  EXPECT_EQ(memo.toPlainText(), "older");
}

}  // namespace
}  // namespace nox::controls

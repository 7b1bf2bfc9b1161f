// The grid model reads rows on demand: a filtered table's rows are numbered as they are counted,
// a table larger than the model's window is shown through a window that follows the grid's own
// scroll bar, the grid and the table's current record follow each other, and an edited cell stores
// its record whole or shows why not.

#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>

#include "controls/db_grid.h"
#include "tests/forms/dialog_probe.h"
#include "tests/support/memory_storage.h"

namespace nox::controls {
namespace {

using tables::FieldType;
using tables::Value;

class TableModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<tables::Record> records;
    for (int code = 0; code < 1000; ++code)
      records.push_back({Value::Integer(code), Value::Integer(code % 3)});
    table.OpenOnStorage(test::MakeMemoryStorage(
        {{"CODE", FieldType::Integer, 0, true}, {"KIND", FieldType::Integer}},
        {{"", "CODE", tables::ixPrimary | tables::ixUnique}}, std::move(records)));
    source.SetDataSet(&table);
    grid.SetDataSource(&source);
    grid.resize(300, 200);
  }

  QString Cell(int row, int column) {
    return grid.Model().data(grid.Model().index(row, column)).toString();
  }

  tables::TTable table;
  TNoxDataSource source;
  TNoxDBGrid grid;
};

TEST_F(TableModelTest, FilteredRowsAreNumberedAsCountedAndMapBothWays) {
  struct Case {
    const char* filter;
    int rows;
    int row;
    const char* code;  // the code at that row
  };
  const Case cases[] = {
      {"", 1000, 999, "999"},
      {"KIND = 1", 333, 200, "601"},
      {"KIND = 1 AND CODE > 990", 3, 2, "997"},
      {"CODE < 0", 0, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter);
    table.SetFilter(c.filter);
    table.SetFiltered(*c.filter != 0);
    source.Resync();
    grid.Model().FetchAll();
    ASSERT_EQ(grid.Model().rowCount(), c.rows);
    EXPECT_EQ(Cell(c.row, 0), QString::fromLatin1(c.code));
    if (c.rows == 0) continue;
    const std::optional<std::size_t> position = grid.Model().PositionOfRow(c.row);
    ASSERT_TRUE(position);
    EXPECT_EQ(grid.Model().RowOfPosition(*position), c.row);
    // Rows read backwards and then forwards again give the same records.
    for (int row = c.rows - 1; row >= 0; row -= 7)
      EXPECT_EQ(grid.Model().RowOfPosition(*grid.Model().PositionOfRow(row)), row);
  }
}

TEST_F(TableModelTest, GridAndCurrentRecordFollowEachOther) {
  table.SetFilter("KIND = 2");
  table.SetFiltered(true);
  source.Resync();
  grid.setCurrentIndex(grid.Model().index(10, 1));
  EXPECT_EQ(table.FieldByName("CODE").AsString(), "32");
  source.Last();
  EXPECT_EQ(grid.currentIndex().row(), 332);
  source.FindNearest({Value::Integer(500)});
  EXPECT_EQ(Cell(grid.currentIndex().row(), 0), "500");
}

TEST(TableModelWindowTest, LargeTableIsShownThroughAWindowThatFollowsThePositionBar) {
  constexpr std::size_t kRecords = TNoxTableModel::kWindowRows * 3 + 10;
  std::vector<tables::Record> records;
  for (std::size_t code = 0; code < kRecords; ++code)
    records.push_back({Value::Integer(static_cast<std::int64_t>(code))});
  tables::TTable table;
  table.OpenOnStorage(test::MakeMemoryStorage({{"CODE", FieldType::Integer, 0, true}},
                                              {{"", "CODE", tables::ixPrimary | tables::ixUnique}},
                                              std::move(records)));
  TNoxDataSource source;
  source.SetDataSet(&table);
  TNoxDBGrid grid;
  grid.SetDataSource(&source);
  grid.resize(300, 200);
  grid.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
  TNoxTableModel& model = grid.Model();
  const auto topCode = [&] {
    return model.index(grid.rowAt(0), 0).data().toString().toStdString();
  };
  ASSERT_EQ(model.rowCount(), static_cast<int>(TNoxTableModel::kWindowRows));
  EXPECT_FALSE(grid.PositionBar().isHidden());

  // Each way of moving shows the right record, and the bar, the window and the table agree.
  const struct {
    const char* how;
    std::function<void()> move;
    std::function<std::size_t()> top;  // the order position of the top row, read before moving
  } cases[] = {
      // The last record shows at the bottom.
      {"last record", [&] { source.Last(); },
       [&] {
         return kRecords - static_cast<std::size_t>(grid.viewport()->height() / grid.rowHeight(0));
       }},
      {"bar to the middle", [&] { grid.PositionBar().setValue(static_cast<int>(kRecords / 2)); },
       [&] { return kRecords / 2; }},
      // The view at its window's end: the window moves, the same records stay on screen.
      {"view at its window's end",
       [&] { grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum()); },
       [&] { return model.WindowStart() + grid.verticalScrollBar()->maximum(); }},
      {"Ctrl+Home", [&] { QTest::keyClick(&grid, Qt::Key_Home, Qt::ControlModifier); },
       [] { return std::size_t{0}; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.how);
    const std::size_t expected = c.top();
    c.move();
    QCoreApplication::processEvents();
    const std::size_t top = grid.TopPosition();
    EXPECT_EQ(top, expected);
    EXPECT_EQ(topCode(), std::to_string(top));
    EXPECT_EQ(grid.PositionBar().value(), static_cast<int>(top));
    // The window keeps rows beyond those shown, unless the order ends there.
    const std::size_t windowEnd = model.WindowStart() + TNoxTableModel::kWindowRows;
    EXPECT_TRUE(windowEnd == kRecords || windowEnd > top + 20);
    EXPECT_TRUE(model.WindowStart() == 0 || model.WindowStart() + 20 < top);
  }
  EXPECT_EQ(grid.currentIndex().row(), 0);
  EXPECT_EQ(table.FieldByName("CODE").AsString(), "0");

  // Stepping down through the window's edge: each key moves the table one record on.
  for (int step = 0; step < 3800; ++step)
    QTest::keyClick(&grid, Qt::Key_Down);
  EXPECT_GT(model.WindowStart(), 0u);
  EXPECT_EQ(table.FieldByName("CODE").AsString(), "3800");
  EXPECT_EQ(model.index(grid.currentIndex().row(), 0).data().toString(), "3800");

  // A row picked after scrolling is the record shown there.
  grid.PositionBar().setValue(static_cast<int>(kRecords / 3));
  grid.setCurrentIndex(model.index(grid.rowAt(0) + 2, 0));
  EXPECT_EQ(table.FieldByName("CODE").AsString(), std::to_string(kRecords / 3 + 2));
}

TEST_F(TableModelTest, EditedCellStoresItsRecordOrShowsWhyNot) {
  struct Case {
    const char* typed;
    const char* message;  // empty: stored
    const char* shown;
  };
  const Case cases[] = {
      {"abc", "'abc' is not a valid integer value", "2"},
      {"7", "", "7"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    forms::testing::DialogAnswerer answerer;
    const QModelIndex cell = grid.Model().index(5, 1);
    EXPECT_EQ(grid.Model().setData(cell, QString::fromLatin1(c.typed)), *c.message == 0);
    QCoreApplication::processEvents();
    ASSERT_EQ(answerer.Shown().size(), *c.message ? 1u : 0u);
    if (*c.message) {
      EXPECT_EQ(answerer.Shown()[0].message, QString::fromLatin1(c.message));
    }
    EXPECT_EQ(source.State(), tables::TableState::Browse);
    EXPECT_EQ(Cell(5, 1), QString::fromLatin1(c.shown));
  }
}

}  // namespace
}  // namespace nox::controls

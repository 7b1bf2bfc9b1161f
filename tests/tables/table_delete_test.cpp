// Deleting records through TTable on the files of each format: which record becomes current, what
// the files hold afterwards (also after every block of a keyed table has emptied), orders and
// ranges kept in memory, and a delete refused while another program holds the table.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "tables/file_lock.h"
#include "tables/table.h"
#include "tests/support/dbase_bytes.h"
#include "tests/support/temp_dir.h"

namespace nox::tables {
namespace {

using test::TempDir;

struct Format {
  const char* file;
  bool keyed;
};
// 92 records fill a Paradox block of this table.
const Format kFormats[] = {{"t.dbf", false}, {"u.db", false}, {"k.db", true}};
constexpr int kRecords = 400;
constexpr int kPerBlock = 92;

// A new table of the records ID 0..count-1 with NAME counting down, so that NAME orders them the
// other way; written, then open again for reading in `table`.
void MakeTable(TTable& table, const std::filesystem::path& path, int count, bool keyed) {
  table.SetTableName(path.string());
  table.FieldDefs() = {{"ID", FieldType::Integer}, {"NAME", FieldType::String, 40}};
  if (path.extension() == ".dbf") {
    table.FieldDefs() = {NativeFieldDef("ID", 'N', 9), NativeFieldDef("NAME", 'C', 40)};
  }
  if (keyed) table.IndexDefs() = {{"", "ID", ixPrimary | ixUnique}};
  table.CreateTable();
  table.Open();
  for (int i = 0; i < count; ++i) {
    table.Append();
    table.FieldByName("ID").SetValue(Value::Integer(i));
    table.FieldByName("NAME").SetAsString("name " + std::to_string(90000 - i));
    table.Post();
  }
  table.Close();
  table.Open();
}

std::int64_t Id(TTable& table) {
  return table.FieldByName("ID").GetValue().integer();
}

std::vector<std::int64_t> Ids(TTable& table) {
  std::vector<std::int64_t> ids;
  for (table.First(); !table.Eof(); table.Next())
    ids.push_back(Id(table));
  return ids;
}

TEST(TableDelete, TheNextRecordBecomesCurrentAndTheFilesKeepTheOthers) {
  for (const Format& format : kFormats) {
    SCOPED_TRACE(format.file);
    TempDir dir;
    const auto path = dir / format.file;
    TTable table;
    MakeTable(table, path, kRecords, format.keyed);
    std::vector<std::int64_t> kept;
    for (int i = 0; i < kRecords; ++i)
      kept.push_back(i);
    const auto forget = [&](std::int64_t id) { std::erase(kept, id); };

    struct Step {
      const char* what;
      std::function<void()> move;
      std::int64_t deleted, current;
      bool eof;
    };
    const Step steps[] = {
        {"first", [&] { table.First(); }, 0, 1, false},
        {"last", [&] { table.Last(); }, kRecords - 1, kRecords - 2, true},
        {"middle", [&] { table.MoveToOrderPosition(199); }, 200, 201, false},
        {"an edited one", [&] { table.Edit(); }, 201, 202, false},  // the edit is dropped
    };
    for (const Step& step : steps) {
      SCOPED_TRACE(step.what);
      step.move();
      ASSERT_EQ(Id(table), step.deleted);
      table.Delete();
      forget(step.deleted);
      EXPECT_EQ(Id(table), step.current);
      EXPECT_EQ(table.Eof(), step.eof);
    }
    // A whole block's records (the second block of the keyed table), then every third record by
    // the loop that deletes or moves on.
    ASSERT_TRUE(table.MoveToOrderPosition(kPerBlock - 1));
    for (std::int64_t id = kPerBlock; id < 2 * kPerBlock; ++id) {
      ASSERT_EQ(Id(table), id);
      table.Delete();
      forget(id);
    }
    for (table.First(); !table.Eof();) {
      if (Id(table) % 3 == 0) {
        forget(Id(table));
        table.Delete();
      } else {
        table.Next();
      }
    }
    EXPECT_EQ(table.RecordCount(), kept.size());
    table.Close();

    table.Open();
    EXPECT_EQ(table.Storage()->faults(), "");
    EXPECT_EQ(Ids(table), kept);
    if (format.keyed) {
      for (std::int64_t id : {std::int64_t{0}, std::int64_t{kPerBlock}, kept[7], kept.back()}) {
        EXPECT_EQ(table.FindKey({Value::Integer(id)}), std::count(kept.begin(), kept.end(), id) > 0)
            << id;
      }
    }
    // The only record left, then none: no current record to delete; the table takes new ones.
    for (table.First(); !table.Eof();)
      table.Delete();
    EXPECT_TRUE(table.Bof());
    EXPECT_EQ(table.RecordCount(), 0u);
    EXPECT_THROW(table.Delete(), TableError);
    table.Close();
    table.Open();
    EXPECT_EQ(table.Storage()->faults(), "");
    EXPECT_EQ(table.RecordCount(), 0u);
    table.Append();
    table.FieldByName("ID").SetValue(Value::Integer(7));
    table.Post();
    table.Close();
    table.Open();
    EXPECT_EQ(Ids(table), std::vector<std::int64_t>{7});
  }
}

TEST(TableDelete, OrdersAndRangesInMemoryFollow) {
  for (const Format& format : kFormats) {
    SCOPED_TRACE(format.file);
    TempDir dir;
    const auto path = dir / format.file;
    TTable table;
    MakeTable(table, path, 10, format.keyed);
    table.SetIndexFieldNames("NAME");                                          // IDs 9, 8, ..., 0
    table.SetRange({Value::Text("name 89992")}, {Value::Text("name 89997")});  // IDs 8 to 3
    table.SetFilter("ID <> 5");
    table.SetFiltered(true);
    ASSERT_TRUE(table.FindKey({Value::Text("name 89994")}));
    table.Delete();  // ID 6: the filter passes 5 over
    EXPECT_EQ(Id(table), 4);
    table.Last();
    table.Delete();  // ID 3, the last in the range
    EXPECT_EQ(Id(table), 4);
    EXPECT_TRUE(table.Eof());
    EXPECT_EQ(table.RecordCount(), 3u);
    table.CancelRange();
    table.SetFiltered(false);
    EXPECT_EQ(Ids(table), (std::vector<std::int64_t>{9, 8, 7, 5, 4, 2, 1, 0}));
    table.SetIndexFieldNames("");
    EXPECT_EQ(table.RecordCount(), 8u);
  }
}

TEST(TableDelete, AnotherProgramsLockRefusesItUnchanged) {
  for (const Format& format : kFormats) {
    SCOPED_TRACE(format.file);
    TempDir dir;
    const auto path = dir / format.file;
    TTable table;
    MakeTable(table, path, 3, format.keyed);
    const std::string before = test::ReadFileBytes(path);
    table.Next();
    {
      const FileLock other(path, OpenMode::Shared);
      try {
        table.Delete();
        ADD_FAILURE() << "deleted under another program's lock";
      } catch (const TableError& error) {
        EXPECT_EQ(std::string(error.what()), std::string("Table '") + format.file +
                                                 "' is locked by another program and cannot be "
                                                 "changed");
      }
    }
    EXPECT_EQ(Id(table), 1);
    EXPECT_EQ(table.RecordCount(), 3u);
    table.Close();
    EXPECT_EQ(test::ReadFileBytes(path), before);
  }
}

}  // namespace
}  // namespace nox::tables

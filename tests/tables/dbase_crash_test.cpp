// A writer killed at random moments: the table always opens and holds a prefix of what was
// appended, each record whole.

#include <gtest/gtest.h>
#include <unistd.h>

#include <random>

#include "tables/storage.h"
#include "tests/support/killed_writer.h"
#include "tests/support/temp_dir.h"

namespace nox::tables {
namespace {

std::string NoteFor(std::int64_t id) {
  return "note " + std::to_string(id) + std::string(id % 700, 'x');
}

// The child's work: empties the table now and then, appends numbered records forever, flushing
// every few hundred; once it has appended `report` records it tells the parent through the pipe
// and goes on, so the kill lands somewhere in the middle of its appends.
[[noreturn]] void AppendForever(const std::filesystem::path& table, bool empty, int report,
                                int pipeOut) {
  try {
    auto storage = OpenDbaseStorage(table, OpenMode::Exclusive);
    if (empty) storage->emptyTable();
    for (auto id = static_cast<std::int64_t>(storage->recordCount()), appended = std::int64_t{0};;
         ++id) {
      storage->appendRecord({Value::Integer(id), Value::Text("record " + std::to_string(id)),
                             Value::Text(id % 5 == 0 ? NoteFor(id) : "")});
      if (id % 300 == 0) storage->flush();
      if (++appended == report && ::write(pipeOut, "!", 1) != 1) ::_exit(1);
    }
  } catch (...) {
    ::_exit(1);
  }
}

TEST(DbaseCrashTest, KilledWriterLeavesAPrefixOfWholeRecords) {
  test::TempDir dir;
  std::filesystem::path table = dir / "crash.dbf";
  CreateDbaseStorage(table,
                     {NativeFieldDef("ID", 'N', 9), NativeFieldDef("NAME", 'C', 20),
                      NativeFieldDef("NOTE", 'M', 10)},
                     {});
  std::mt19937 random(12345);
  for (int iteration = 0; iteration < 15; ++iteration) {
    SCOPED_TRACE(iteration);
    // At least one flush has happened by the report, so something must survive the kill.
    const int report = 301 + static_cast<int>(random() % 1500);
    const auto reported = test::KillAfterReport(
        [&](int pipeOut) { AppendForever(table, iteration % 4 == 3, report, pipeOut); }, 1);
    ASSERT_TRUE(reported) << "the writer stopped by itself";

    auto storage = OpenDbaseStorage(table, OpenMode::Shared);
    Record record;
    for (std::size_t i = 0; i < storage->recordCount(); ++i) {
      storage->readRecord(i, record);
      auto id = static_cast<std::int64_t>(i);
      ASSERT_EQ(record[0], Value::Integer(id));
      ASSERT_EQ(record[1], Value::Text("record " + std::to_string(id)));
      ASSERT_EQ(record[2], Value::Text(id % 5 == 0 ? NoteFor(id) : ""));
    }
    EXPECT_GT(storage->recordCount(), 0u);
  }
}

}  // namespace
}  // namespace nox::tables

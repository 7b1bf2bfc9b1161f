// A writer killed at random moments: the table always opens and holds a prefix of what was
// appended, each record whole.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <thread>

#include "tables/storage.h"
#include "tests/support/temp_dir.h"

namespace nox::tables {
namespace {

FieldDef Native(const std::string& name, char code, int width, int decimals = 0) {
  FieldDef def;
  def.name = name;
  def.nativeType = code;
  def.nativeWidth = width;
  def.nativeDecimals = decimals;
  return def;
}

std::string NoteFor(std::int64_t id) {
  return "note " + std::to_string(id) + std::string(id % 700, 'x');
}

// The child's work: empties the table now and then, appends numbered records forever, flushing
// every few hundred.
[[noreturn]] void AppendForever(const std::filesystem::path& table, bool empty) {
  try {
    auto storage = OpenDbaseStorage(table, OpenMode::Exclusive);
    if (empty) storage->emptyTable();
    for (auto id = static_cast<std::int64_t>(storage->recordCount());; ++id) {
      storage->appendRecord({Value::Integer(id), Value::Text("record " + std::to_string(id)),
                             Value::Text(id % 5 == 0 ? NoteFor(id) : "")});
      if (id % 300 == 0) storage->flush();
    }
  } catch (...) {
    ::_exit(1);
  }
}

TEST(DbaseCrashTest, KilledWriterLeavesAPrefixOfWholeRecords) {
  test::TempDir dir;
  std::filesystem::path table = dir / "crash.dbf";
  CreateDbaseStorage(table,
                     {Native("ID", 'N', 9), Native("NAME", 'C', 20), Native("NOTE", 'M', 10)}, {});
  std::mt19937 random(12345);
  std::size_t longest = 0;
  for (int iteration = 0; iteration < 15; ++iteration) {
    SCOPED_TRACE(iteration);
    pid_t child = ::fork();
    if (child == 0) AppendForever(table, iteration % 4 == 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(5 + random() % 60));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself";

    auto storage = OpenDbaseStorage(table, OpenMode::Shared);
    Record record;
    for (std::size_t i = 0; i < storage->recordCount(); ++i) {
      storage->readRecord(i, record);
      auto id = static_cast<std::int64_t>(i);
      ASSERT_EQ(record[0], Value::Integer(id));
      ASSERT_EQ(record[1], Value::Text("record " + std::to_string(id)));
      ASSERT_EQ(record[2], Value::Text(id % 5 == 0 ? NoteFor(id) : ""));
    }
    longest = std::max(longest, storage->recordCount());
  }
  EXPECT_GT(longest, 0u);
}

}  // namespace
}  // namespace nox::tables

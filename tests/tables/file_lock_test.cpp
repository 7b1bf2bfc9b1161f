// Locks between programs: each case holds a lock here and tries another in a child process, since
// locks of one process never shut out that same process's other opens.

#include "tables/file_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "tests/support/dbase_bytes.h"
#include "tests/support/temp_dir.h"

namespace nox::tables {
namespace {

// Runs body in a child process; gives its result (0..99) or -1 when it did not end normally.
int InChild(const std::function<int()>& body) {
  pid_t pid = ::fork();
  if (pid == 0) {
    int code = 99;
    try {
      code = body();
    } catch (...) {
      code = 98;
    }
    ::_exit(code);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

constexpr int kGranted = 0;
constexpr int kRefused = 1;

int Outcome(const std::function<void()>& attempt, const std::string& expectedMessage) {
  try {
    attempt();
    return kGranted;
  } catch (const TableError& error) {
    return std::string(error.what()) == expectedMessage ? kRefused : 2;
  }
}

class FileLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::DbaseFileBytes file;
    file.fields = {{"ID", 'N', 3}};
    file.records = {"   1"};
    file.write(table_);
  }
  test::TempDir dir_;
  std::filesystem::path table_ = dir_ / "locked.dbf";
  const std::string lockedMessage_ = "Table 'locked.dbf' is locked by another program";
  const std::string inUseMessage_ =
      "Table 'locked.dbf' is locked by another program and cannot be changed";
};

TEST_F(FileLockTest, ExclusiveShutsOutEveryoneSharedOnlyWriters) {
  struct Case {
    OpenMode held;
    OpenMode wanted;
    int outcome;
  };
  const std::vector<Case> cases = {
      {OpenMode::Shared, OpenMode::Shared, kGranted},
      {OpenMode::Shared, OpenMode::Exclusive, kRefused},
      {OpenMode::Exclusive, OpenMode::Shared, kRefused},
      {OpenMode::Exclusive, OpenMode::Exclusive, kRefused},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.held) * 10 + static_cast<int>(c.wanted));
    FileLock held(table_, c.held);
    EXPECT_EQ(InChild([&] {
                return Outcome([&] { FileLock wanted(table_, c.wanted); }, lockedMessage_);
              }),
              c.outcome);
    // The storage refuses in the same words.
    EXPECT_EQ(InChild([&] {
                return Outcome([&] { OpenDbaseStorage(table_, c.wanted); }, lockedMessage_);
              }),
              c.outcome);
  }
  EXPECT_EQ(
      InChild([&] { return Outcome([&] { FileLock wanted(table_, OpenMode::Exclusive); }, ""); }),
      kGranted);  // nothing held any more
}

TEST_F(FileLockTest, UpgradeFailsWhileAnotherProgramReadsAndKeepsTheSharedLock) {
  FileLock held(table_, OpenMode::Shared);
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  pid_t reader = ::fork();
  if (reader == 0) {
    FileLock childLock(table_, OpenMode::Shared);
    char ready = 1;
    ssize_t ignored = ::write(pipeFds[1], &ready, 1);
    static_cast<void>(ignored);
    ::pause();
    ::_exit(0);
  }
  char ready = 0;
  ASSERT_EQ(::read(pipeFds[0], &ready, 1), 1);
  EXPECT_EQ(Outcome([&] { held.makeExclusive(); }, inUseMessage_), kRefused);
  EXPECT_FALSE(held.exclusive());
  {
    auto storage = OpenDbaseStorage(table_, OpenMode::Shared);
    EXPECT_EQ(Outcome([&] { storage->appendRecord({Value::Integer(2)}); }, inUseMessage_),
              kRefused);
    EXPECT_EQ(Outcome([&] { storage->emptyTable(); }, inUseMessage_), kRefused);
  }
  ::kill(reader, SIGKILL);
  ::waitpid(reader, nullptr, 0);
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
  // Still shared: a writer elsewhere is kept out.
  EXPECT_EQ(InChild([&] {
              return Outcome([&] { OpenDbaseStorage(table_, OpenMode::Exclusive); },
                             lockedMessage_);
            }),
            kRefused);
  held.makeExclusive();
  EXPECT_TRUE(held.exclusive());
}

TEST_F(FileLockTest, WriterKeepsReadersOutUntilClosed) {
  auto storage = OpenDbaseStorage(table_, OpenMode::Shared);
  EXPECT_EQ(
      InChild([&] { return Outcome([&] { OpenDbaseStorage(table_, OpenMode::Shared); }, ""); }),
      kGranted);
  storage->appendRecord({Value::Integer(2)});
  EXPECT_EQ(InChild([&] {
              return Outcome([&] { OpenDbaseStorage(table_, OpenMode::Shared); }, lockedMessage_);
            }),
            kRefused);
  storage.reset();
  EXPECT_EQ(InChild([&] {
              auto reader = OpenDbaseStorage(table_, OpenMode::Shared);
              return reader->recordCount() == 2 ? kGranted : 3;
            }),
            kGranted);
}

TEST_F(FileLockTest, MissingFileIsNamed) {
  std::filesystem::path missing = dir_ / "none.dbf";
  EXPECT_EQ(Outcome([&] { FileLock lock(missing, OpenMode::Shared); },
                    "Table '" + missing.string() + "' does not exist"),
            kRefused);
}

}  // namespace
}  // namespace nox::tables

// Tables whose files do not add up, files that are no tables, and writers killed in the middle of a
// change: damage is reported and refuses changes without touching a byte; a killed change is
// undone, so the files are exactly as the last flush left them.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "tables/rollback_journal.h"
#include "tables/storage.h"
#include "tests/support/dbase_bytes.h"
#include "tests/support/killed_writer.h"
#include "tests/support/temp_dir.h"

namespace nox::tables {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

std::unique_ptr<TableStorage> Open(const std::filesystem::path& path, OpenMode mode) {
  return path.extension() == ".db" ? OpenParadoxStorage(path, mode) : OpenDbaseStorage(path, mode);
}

// A table of `count` records numbered from 0, keyed when asked (Paradox only).
void MakeTable(const std::filesystem::path& path, int count, bool keyed = false) {
  std::vector<FieldDef> fields = {NativeFieldDef("ID", 'N', 9), NativeFieldDef("NAME", 'C', 40)};
  std::unique_ptr<TableStorage> table;
  if (path.extension() == ".db") {
    fields = {{"ID", FieldType::Integer}, {"NAME", FieldType::String, 40}};
    table = CreateParadoxStorage(
        path, fields,
        keyed ? std::vector<IndexDef>{{"", "ID", ixPrimary | ixUnique}} : std::vector<IndexDef>{});
  } else {
    table = CreateDbaseStorage(path, fields, {});
  }
  for (int i = 0; i < count; ++i)
    table->appendRecord({Value::Integer(i), Value::Text("record " + std::to_string(i))});
}

std::size_t HeaderSize(const std::string& paradox) {
  return static_cast<unsigned char>(paradox[2]) |
         std::size_t{static_cast<unsigned char>(paradox[3])} << 8;
}

TEST(TableDamage, ReadAsFarAsItGoesAndRefuseChanges) {
  struct Case {
    const char* what;
    const char* file;
    bool keyed;
    std::function<std::string(const std::string&)> damage;
    std::size_t readable;  // records still read
    const char* fault;
  };
  const Case cases[] = {
      {"Paradox cut after two blocks", "t.db", false,
       [](const std::string& s) { return s.substr(0, HeaderSize(s) + 2 * 4096); }, 2 * 92,
       "its block chain leads to block 3 past the end of the file"},
      {"keyed Paradox cut to its header", "t.db", true,
       [](const std::string& s) { return s.substr(0, HeaderSize(s)); }, 0,
       "its header counts 1000 records but its blocks hold 0"},
      {"Paradox with bytes after its last block", "t.db", false,
       [](const std::string& s) { return s + "junk"; }, 1000,
       "4 bytes follow its last whole block"},
      {"dBase header counting fewer records", "t.dbf", false,
       [](const std::string& s) { return s.substr(0, 4) + "\xF4\x01" + s.substr(6); }, 500,
       "its header counts 500 records but the file holds 1000"},
      {"dBase cut in a record", "t.dbf", false,
       [](const std::string& s) { return s.substr(0, s.size() - 100); }, 998,
       "its header counts 1000 records but the file holds only 998"},
      {"dBase with bytes after its last record", "t.dbf", false,
       [](const std::string& s) { return s + "junk"; }, 1000, "5 bytes follow its last record"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    const auto path = dir / c.file;
    MakeTable(path, 1000, c.keyed);
    const std::string damaged = c.damage(ReadFileBytes(path));
    WriteFileBytes(path, damaged);
    auto table = Open(path, OpenMode::Exclusive);
    EXPECT_NE(table->faults().find(c.fault), std::string::npos) << table->faults();
    ASSERT_EQ(table->recordCount(), c.readable);
    Record record;
    if (c.readable > 0) {
      table->readRecord(c.readable - 1, record);
      EXPECT_EQ(record[1], Value::Text("record " + std::to_string(c.readable - 1)));
    }
    try {
      table->appendRecord({Value::Integer(5000), Value::Text("new")});
      FAIL() << "a damaged table took a record";
    } catch (const TableError& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find("cannot be changed: "), std::string::npos) << message;
      EXPECT_NE(message.find(c.fault), std::string::npos) << message;
    }
    EXPECT_THROW(table->emptyTable(), TableError);
    EXPECT_THROW(table->deleteRecord(0), TableError);
    table->flush();
    table.reset();
    EXPECT_EQ(ReadFileBytes(path), damaged);
  }
}

TEST(TableDamage, FilesThatAreNoTablesAreRefusedWithoutWaiting) {
  TempDir dir;
  for (const char* name : {"pipe.db", "pipe.dbf"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(::mkfifo((dir / name).c_str(), 0600), 0);
    ::alarm(20);  // a test that waits for a writer to the pipe ends here instead
    try {
      Open(dir / name, OpenMode::Shared);
      FAIL() << "opened";
    } catch (const TableError& error) {
      EXPECT_EQ(std::string(error.what()), std::string("'") + name + "' is not a regular file");
    }
    ::alarm(0);
  }
}

// Our Paradox table laid out as other programs write theirs: a 2 KiB header before 4 KiB blocks,
// so that every block spans two memory pages.
void MoveBlocksAfterA2KiBHeader(const std::filesystem::path& path) {
  const std::string bytes = ReadFileBytes(path);
  ASSERT_EQ(HeaderSize(bytes), 4096u);
  ASSERT_EQ(bytes.find_first_not_of('\0', 2048), 4096u);  // the header's content fits 2 KiB
  WriteFileBytes(path, bytes.substr(0, 2) + std::string("\x00\x08", 2) + bytes.substr(4, 2044) +
                           bytes.substr(4096));
}

// The child changes the table after a flush (appends that fill new blocks, records moved and
// rewritten in place, deletes that empty blocks) and is killed before the next flush; the files are
// then torn further, as a kill in the middle of a write could leave them. Opening undoes the whole
// change.
TEST(TableDamage, AChangeKilledBeforeItsFlushIsUndone) {
  for (const char* file : {"k.db", "k.dbf", "foreign.db"}) {
    SCOPED_TRACE(file);
    TempDir dir;
    const auto path = dir / file;
    const bool paradox = path.extension() == ".db";
    MakeTable(path, 3000, paradox);
    if (std::string(file) == "foreign.db") MoveBlocksAfterA2KiBHeader(path);
    const std::string before = ReadFileBytes(path);
    const auto reported = test::KillAfterReport(
        [&](int pipeOut) {
          auto table = Open(path, OpenMode::Exclusive);
          for (int i = 0; i < 40000; ++i)
            table->appendRecord(
                {Value::Integer(paradox ? 3000 + i * 7 % 40000 : i), Value::Text("x")});
          for (std::size_t p = 0; p < 3000; p += 37)
            table->updateRecord(p, {Value::Integer(paradox ? 100000 + static_cast<int>(p) : 1),
                                    Value::Text("changed")});
          for (std::size_t i = 0; i < 300; ++i)
            table->deleteRecord(paradox ? 0 : i * 7);
          if (::write(pipeOut, "!", 1) == 1) ::pause();
        },
        1);
    ASSERT_TRUE(reported) << "the writer failed";
    std::string torn = ReadFileBytes(path);
    ASSERT_NE(torn, before);
    torn.replace(2 * 4096 + 1000, 3000, 3000, '\xEE');  // part of a block or record rewritten
    WriteFileBytes(path, torn);

    auto table = Open(path, OpenMode::Shared);
    EXPECT_EQ(table->faults(), "");
    EXPECT_EQ(table->recordCount(), 3000u);
    table.reset();
    EXPECT_EQ(ReadFileBytes(path), before);
    EXPECT_FALSE(std::filesystem::exists(RollbackJournal::PathFor(path)));
  }
}

}  // namespace
}  // namespace nox::tables

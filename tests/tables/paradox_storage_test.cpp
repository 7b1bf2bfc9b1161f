// Paradox tables written and read by our storage: field encodings against known bytes, keyed
// order with block splits, key violations that leave the files untouched, memos, emptying,
// damaged input and a writer killed at random moments.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <set>

#include "tables/storage.h"
#include "tests/support/temp_dir.h"

namespace nox::tables {
namespace {

using test::TempDir;

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));
}

std::string Hex(std::string_view bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

FieldDef Field(std::string name, FieldType type, int size = 0) {
  FieldDef def;
  def.name = std::move(name);
  def.type = type;
  def.size = size;
  return def;
}

IndexDef Primary(std::string fields) {
  return {"", std::move(fields), ixPrimary | ixUnique};
}

// The bytes of the first record of an unkeyed one-field table holding the value.
std::string StoredBytes(const TempDir& dir, const FieldDef& field, const Value& value) {
  const auto path = dir / "enc.db";
  {
    auto table = CreateParadoxStorage(path, {field}, {});
    table->appendRecord({value});
  }
  const std::string file = ReadBytes(path);
  const std::size_t header = static_cast<unsigned char>(file[2]) |
                             static_cast<std::size_t>(static_cast<unsigned char>(file[3])) << 8;
  const std::size_t recordSize = static_cast<unsigned char>(file[0]) |
                                 static_cast<std::size_t>(static_cast<unsigned char>(file[1])) << 8;
  return file.substr(header + 6, recordSize);
}

TEST(ParadoxStorage, FieldEncodingsMatchTheFormat) {
  struct Case {
    FieldDef field;
    Value value;
    const char* bytes;
  };
  const double day1 = -693593;  // 1 January of year 1, Paradox day 1
  const Case cases[] = {
      {Field("S", FieldType::SmallInt), Value::Integer(1), "8001"},
      {Field("S", FieldType::SmallInt), Value::Integer(256), "8100"},
      {Field("S", FieldType::SmallInt), Value::Integer(-1), "7FFF"},
      {Field("S", FieldType::SmallInt), Value::Integer(32767), "FFFF"},
      {Field("S", FieldType::SmallInt), Value::Integer(0), "8000"},
      {Field("S", FieldType::SmallInt), Value::Null(), "0000"},
      {Field("I", FieldType::Integer), Value::Integer(-2), "7FFFFFFE"},
      {Field("I", FieldType::Integer), Value::Integer(2147483647), "FFFFFFFF"},
      {Field("+", FieldType::AutoInc), Value::Integer(5), "80000005"},
      {Field("N", FieldType::Float), Value::Float(-1.5), "4007FFFFFFFFFFFF"},
      {Field("N", FieldType::Float), Value::Float(100.5), "C059200000000000"},
      {Field("N", FieldType::Float), Value::Float(0.0), "8000000000000000"},
      {Field("N", FieldType::Float), Value::Float(-0.0), "8000000000000000"},
      {Field("N", FieldType::Float), Value::Null(), "0000000000000000"},
      {Field("$", FieldType::Currency), Value::Currency(1.0), "BFF0000000000000"},
      {Field("D", FieldType::Date), Value::Date(day1), "80000001"},
      {Field("D", FieldType::Date), Value::Date(35189), "800B1ECF"},  // 4 May 1996
      {Field("D", FieldType::Date), Value::Date(35189.75), "800B1ECF"},
      {Field("T", FieldType::Time), Value::Date(0.5), "82932E00"},  // 43200000 ms
      {Field("T", FieldType::Time), Value::Date(0.0), "80000000"},
      {Field("@", FieldType::DateTime), Value::Date(day1), "C194997000000000"},
      {Field("L", FieldType::Boolean), Value::Boolean(true), "81"},
      {Field("L", FieldType::Boolean), Value::Boolean(false), "80"},
      {Field("L", FieldType::Boolean), Value::Null(), "00"},
      {Field("A", FieldType::String, 4), Value::Text("ab"), "61620000"},
      {Field("A", FieldType::String, 2), Value::Text("abcd"), "6162"},
      {Field("Y", FieldType::Bytes, 3), Value::Text(std::string("\x01\x00\x02", 3)), "010002"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field.name + " " + c.bytes);
    EXPECT_EQ(Hex(StoredBytes(dir, c.field, c.value)), c.bytes);
  }
}

TEST(ParadoxStorage, BcdEncodingMatchesTheFormat) {
  TempDir dir;
  FieldDef bcd = Field("B", FieldType::BCD, 2);
  EXPECT_EQ(Hex(StoredBytes(dir, bcd, Value::Float(123.45))),
            "C2" + std::string(26, '0') + "012345");
  EXPECT_EQ(Hex(StoredBytes(dir, bcd, Value::Float(-123.45))),
            "42" + std::string(26, 'F') + "FEDCBA");
  EXPECT_EQ(Hex(StoredBytes(dir, bcd, Value::Float(0))), "C2" + std::string(32, '0'));
  EXPECT_EQ(Hex(StoredBytes(dir, bcd, Value::Null())), std::string(34, '0'));
}

// Every type written and read back: positive, negative, zero, null and the extremes.
TEST(ParadoxStorage, EveryTypeRoundTrips) {
  TempDir dir;
  const std::vector<FieldDef> fields = {
      Field("A", FieldType::String, 10), Field("S", FieldType::SmallInt),
      Field("I", FieldType::Integer),    Field("N", FieldType::Float),
      Field("C", FieldType::Currency),   Field("B", FieldType::BCD, 4),
      Field("L", FieldType::Boolean),    Field("D", FieldType::Date),
      Field("T", FieldType::Time),       Field("TS", FieldType::DateTime),
      Field("M", FieldType::Memo, 5),    Field("F", FieldType::FmtMemo, 1),
      Field("BL", FieldType::Blob, 0),   Field("O", FieldType::Ole, 0),
      Field("G", FieldType::Graphic, 0), Field("Y", FieldType::Bytes, 4),
  };
  const std::vector<Record> records = {
      {Value::Text("text"), Value::Integer(32767), Value::Integer(2147483647),
       Value::Float(1.7976931348623157e308), Value::Currency(12.34), Value::Float(1234.5678),
       Value::Boolean(true), Value::Date(2958465), Value::Date(0.999988425925926),
       Value::Date(45000.5), Value::Text("short"), Value::Text(std::string(3000, 'f')),
       Value::Text(std::string("\0\1\2", 3)), Value::Text(std::string(100, 'o')),
       Value::Text(std::string(70000, 'g')), Value::Text("abcd")},
      {Value::Text("-"), Value::Integer(-32767), Value::Integer(-2147483647),
       Value::Float(-4.9e-324), Value::Currency(-0.01), Value::Float(-9999.0001),
       Value::Boolean(false), Value::Date(-693593), Value::Date(0), Value::Date(-693593),
       Value::Text("longer than five"), Value::Text("x"), Value::Null(), Value::Null(),
       Value::Null(), Value::Null()},
      {Value::Null(), Value::Integer(0), Value::Integer(0), Value::Float(0), Value::Currency(0),
       Value::Float(0), Value::Null(), Value::Null(), Value::Null(), Value::Null(), Value::Null(),
       Value::Null(), Value::Null(), Value::Null(), Value::Null(), Value::Null()},
  };
  const auto path = dir / "ALL.DB";
  {
    auto table = CreateParadoxStorage(path, fields, {});
    for (const auto& r : records)
      table->appendRecord(r);
  }
  EXPECT_TRUE(std::filesystem::exists(dir / "ALL.MB"));
  auto table = OpenParadoxStorage(path, OpenMode::Shared);
  ASSERT_EQ(table->recordCount(), records.size());
  ASSERT_EQ(table->fieldDefs().size(), fields.size());
  EXPECT_EQ(table->fieldDefs()[0].size, 10);
  EXPECT_EQ(table->fieldDefs()[5].type, FieldType::BCD);
  EXPECT_EQ(table->fieldDefs()[10].size, 5);
  Record got;
  for (std::size_t i = 0; i < records.size(); ++i) {
    table->readRecord(i, got);
    for (std::size_t f = 0; f < fields.size(); ++f) {
      SCOPED_TRACE("record " + std::to_string(i) + " field " + fields[f].name);
      const Value& want = records[i][f];
      if (want.kind() == Value::Kind::Date && !want.isNull()) {
        ASSERT_EQ(got[f].kind(), Value::Kind::Date);
        EXPECT_NEAR(got[f].number(), want.number(), 1e-8);
      } else if (fields[f].type == FieldType::Bytes && !want.isNull()) {
        EXPECT_EQ(got[f].text().substr(0, want.text().size()), want.text());
      } else {
        EXPECT_EQ(got[f], want);
      }
    }
  }
}

TEST(ParadoxStorage, RefusesValuesTheFieldCannotHold) {
  TempDir dir;
  auto table = CreateParadoxStorage(
      dir / "r.db", {Field("S", FieldType::SmallInt), Field("D", FieldType::Date)}, {});
  const Record bad[] = {
      {Value::Integer(40000), Value::Null()},
      {Value::Integer(-32768), Value::Null()},
      {Value::Null(), Value::Date(-700000)},
      {Value::Text("abc"), Value::Null()},
  };
  for (const auto& r : bad)
    EXPECT_THROW(table->appendRecord(r), TableError);
  EXPECT_EQ(table->recordCount(), 0u);
}

std::vector<int> Keys(TableStorage& table, std::size_t field = 0) {
  std::vector<int> keys;
  Record r;
  for (std::size_t i = 0; i < table.recordCount(); ++i) {
    table.readRecord(i, r);
    keys.push_back(static_cast<int>(r[field].integer()));
  }
  return keys;
}

TEST(ParadoxStorage, KeyedTableKeepsKeyOrderAcrossBlockSplits) {
  TempDir dir;
  const auto path = dir / "K.DB";
  std::vector<int> keys(5000);
  for (int i = 0; i < 5000; ++i)
    keys[i] = i * 3 - 7000;
  std::shuffle(keys.begin(), keys.end(), std::mt19937(42));
  {
    auto table = CreateParadoxStorage(
        path, {Field("Id", FieldType::Integer), Field("Name", FieldType::String, 60)},
        {Primary("Id")});
    ASSERT_EQ(table->indexDefs().size(), 1u);
    for (int k : keys) {
      const std::size_t pos =
          table->appendRecord({Value::Integer(k), Value::Text("n" + std::to_string(k))});
      Record r;
      table->readRecord(pos, r);
      ASSERT_EQ(r[0].integer(), k);
    }
    auto sorted = Keys(*table);
    EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));
  }
  auto table = OpenParadoxStorage(path, OpenMode::Exclusive);
  ASSERT_EQ(table->indexDefs().size(), 1u);
  EXPECT_EQ(table->indexDefs()[0].fields, "Id");
  EXPECT_TRUE(table->indexDefs()[0].options & ixPrimary);
  std::vector<int> expected = keys;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(Keys(*table), expected);
  EXPECT_TRUE(std::filesystem::exists(dir / "K.PX"));
}

TEST(ParadoxStorage, CompositeKeysOrderByEachFieldInTurn) {
  struct Case {
    FieldType second;
    std::vector<Value> seconds;  // ascending
  };
  const Case cases[] = {
      {FieldType::Float, {Value::Float(-5.5), Value::Float(-1), Value::Float(0), Value::Float(2)}},
      {FieldType::Date,
       {Value::Date(-1000), Value::Date(0), Value::Date(36000), Value::Date(45000)}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    auto table = CreateParadoxStorage(dir / "rates.db",
                                      {Field("ValKod", FieldType::String, 3),
                                       Field("Second", c.second), Field("V", FieldType::Integer)},
                                      {Primary("ValKod;Second")});
    const char* codes[] = {"USD", "EUR", "EU", "LVL"};
    int n = 0;
    for (int s : {2, 0, 3, 1}) {
      for (const char* code : codes) {
        table->appendRecord({Value::Text(code), c.seconds[s], Value::Integer(n++)});
      }
    }
    EXPECT_THROW(table->appendRecord({Value::Text("EUR"), c.seconds[1], Value::Integer(99)}),
                 KeyViolation);
    ASSERT_EQ(table->recordCount(), 16u);
    Record r;
    std::vector<std::string> got;
    for (std::size_t i = 0; i < 16; ++i) {
      table->readRecord(i, r);
      const auto s = std::find(c.seconds.begin(), c.seconds.end(), r[1]) - c.seconds.begin();
      got.push_back(r[0].text() + std::to_string(s));
    }
    const std::vector<std::string> want = {"EU0",  "EU1",  "EU2",  "EU3",  "EUR0", "EUR1",
                                           "EUR2", "EUR3", "LVL0", "LVL1", "LVL2", "LVL3",
                                           "USD0", "USD1", "USD2", "USD3"};
    EXPECT_EQ(got, want);
  }
}

struct Files {
  std::string db, px, mb;
  bool operator==(const Files&) const = default;
};

Files Snapshot(const TempDir& dir) {
  return {ReadBytes(dir / "KV.DB"), ReadBytes(dir / "KV.PX"), ReadBytes(dir / "KV.MB")};
}

TEST(ParadoxStorage, KeyViolationLeavesEveryFileUnchanged) {
  TempDir dir;
  const auto path = dir / "KV.DB";
  const std::vector<FieldDef> fields = {Field("Code", FieldType::String, 8),
                                        Field("Qty", FieldType::Float),
                                        Field("Note", FieldType::Memo, 4)};
  auto table = CreateParadoxStorage(path, fields, {Primary("Code")});
  for (int i = 0; i < 300; ++i) {
    table->appendRecord({Value::Text("C" + std::to_string(i)), Value::Float(i),
                         Value::Text(std::string(static_cast<std::size_t>(i) * 10, 'm'))});
  }
  table->flush();
  const Files before = Snapshot(dir);
  Record r;
  table->readRecord(7, r);
  const Record seventh = r;

  // Appending an existing key, also with a memo that would have gone to the memo file.
  EXPECT_THROW(table->appendRecord(
                   {Value::Text("C7"), Value::Float(1), Value::Text(std::string(5000, 'x'))}),
               KeyViolation);
  // Editing a record to another record's key.
  table->readRecord(3, r);
  r[0] = Value::Text("C42");
  r[2] = Value::Text(std::string(3000, 'y'));
  EXPECT_THROW(table->updateRecord(3, r), KeyViolation);
  table->flush();
  EXPECT_TRUE(Snapshot(dir) == before);
  table->readRecord(7, r);
  EXPECT_EQ(r, seventh);
  EXPECT_EQ(table->recordCount(), 300u);
}

TEST(ParadoxStorage, EditKeepsOrderAndMovesARecordWhoseKeyChanges) {
  TempDir dir;
  const auto path = dir / "E.DB";
  auto table =
      CreateParadoxStorage(path,
                           {Field("K", FieldType::Integer), Field("Amount", FieldType::Currency),
                            Field("Memo", FieldType::Memo, 1)},
                           {Primary("K")});
  for (int k = 0; k < 2000; k += 2) {
    table->appendRecord(
        {Value::Integer(k), Value::Currency(1), Value::Text("memo" + std::to_string(k))});
  }
  // Packing: add into an existing record; key unchanged, position unchanged.
  Record r;
  table->readRecord(10, r);
  r[1] = Value::Currency(r[1].number() + 2.5);
  EXPECT_EQ(table->updateRecord(10, r), 10u);
  // A changed key moves the record, first forwards, then backwards.
  table->readRecord(0, r);
  r[0] = Value::Integer(1001);
  EXPECT_EQ(table->updateRecord(0, r), 500u);
  table->readRecord(999, r);
  EXPECT_EQ(r[0].integer(), 1998);
  r[0] = Value::Integer(-1);
  EXPECT_EQ(table->updateRecord(999, r), 0u);
  table->flush();
  table.reset();
  table = OpenParadoxStorage(path, OpenMode::Shared);
  auto keys = Keys(*table);
  ASSERT_EQ(keys.size(), 1000u);
  EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
  EXPECT_EQ(std::set<int>(keys.begin(), keys.end()).size(), 1000u);
  table->readRecord(0, r);
  EXPECT_EQ(r[0].integer(), -1);
  EXPECT_EQ(r[2].text(), "memo1998");
  table->readRecord(501, r);
  EXPECT_EQ(r[0].integer(), 1001);
  EXPECT_EQ(r[2].text(), "memo0");
  table->readRecord(10, r);
  EXPECT_EQ(r[0].integer(), 20);
  EXPECT_EQ(r[1], Value::Currency(3.5));
}

TEST(ParadoxStorage, EmptyingAKeyedTableKeepsStructureAndKey) {
  TempDir dir;
  const auto path = dir / "EM.DB";
  {
    auto table = CreateParadoxStorage(
        path, {Field("K", FieldType::AutoInc), Field("M", FieldType::Memo, 1)}, {Primary("K")});
    for (int i = 0; i < 500; ++i)
      table->appendRecord({Value::Null(), Value::Text(std::string(100, 'a'))});
    EXPECT_EQ(Keys(*table).back(), 500);
    table->emptyTable();
    EXPECT_EQ(table->recordCount(), 0u);
    table->appendRecord({Value::Null(), Value::Text("again")});
  }
  auto table = OpenParadoxStorage(path, OpenMode::Shared);
  EXPECT_EQ(table->recordCount(), 1u);
  EXPECT_EQ(table->indexDefs().size(), 1u);
  Record r;
  table->readRecord(0, r);
  EXPECT_EQ(r[0].integer(), 501);  // numbering goes on
  EXPECT_EQ(r[1].text(), "again");
  EXPECT_LT(std::filesystem::file_size(dir / "EM.MB"), 3 * 4096u);
}

// Blocks that join the table and empty again before anything is written, also after emptying
// the table: every change leaves whole blocks that the header counts, with the records expected.
TEST(ParadoxStorage, BlocksAddedAndEmptiedInOneChangeLeaveWholeBlocks) {
  struct Step {
    char op;  // 'a' appends keys from..to-1 in turn, 'd' deletes at position from (to times),
              // 'e' empties the table, 'f' flushes
    int from = 0, to = 0;
  };
  const std::vector<std::vector<Step>> cases = {
      {{'a', 0, 64}, {'d', 63, 1}},
      {{'a', 0, 300}, {'d', 250, 50}},
      {{'a', 0, 300}, {'f'}, {'a', 300, 400}, {'d', 290, 110}},
      {{'a', 0, 3000}, {'f'}, {'e'}, {'a', 0, 64}, {'d', 63, 1}},
      {{'a', 1000, 1100}, {'a', 0, 200}, {'d', 0, 150}},
      {{'a', 0, 100}, {'d', 0, 100}, {'a', 5, 7}},
  };
  for (std::size_t c = 0; c < cases.size(); ++c) {
    SCOPED_TRACE(c);
    TempDir dir;
    const auto path = dir / "W.DB";
    std::vector<int> expected;
    {
      auto table = CreateParadoxStorage(
          path, {Field("K", FieldType::Integer), Field("Name", FieldType::String, 60)},
          {Primary("K")});
      for (const Step& step : cases[c]) {
        if (step.op == 'a') {
          for (int k = step.from; k < step.to; ++k) {
            table->appendRecord({Value::Integer(k), Value::Text("n")});
            expected.insert(std::upper_bound(expected.begin(), expected.end(), k), k);
          }
        } else if (step.op == 'd') {
          for (int i = 0; i < step.to; ++i) {
            table->deleteRecord(static_cast<std::size_t>(step.from));
            expected.erase(expected.begin() + step.from);
          }
        } else if (step.op == 'e') {
          table->emptyTable();
          expected.clear();
        } else {
          table->flush();
        }
      }
    }
    auto table = OpenParadoxStorage(path, OpenMode::Exclusive);
    EXPECT_EQ(table->faults(), "");
    EXPECT_EQ(Keys(*table), expected);
    const std::string file = ReadBytes(path);
    const std::size_t header = static_cast<unsigned char>(file[2]) |
                               static_cast<std::size_t>(static_cast<unsigned char>(file[3])) << 8;
    const std::size_t blocks = static_cast<unsigned char>(file[0x0C]) |
                               static_cast<std::size_t>(static_cast<unsigned char>(file[0x0D]))
                                   << 8;
    EXPECT_EQ(file.size(), header + blocks * 4096);
  }
}

// A write that fails part way (the file size limit stands in for a full disk) is reported, and
// the blocks it did not write are written by the next flush once there is room: no record lost.
TEST(ParadoxStorage, BlocksAFailedWriteLeftAreWrittenByTheNextFlush) {
  TempDir dir;
  const auto path = dir / "F.DB";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);  // the write fails instead
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlim_t unlimited = limit.rlim_cur;
    int appended = 0;
    bool refused = false;
    try {
      auto table = CreateParadoxStorage(
          path, {Field("K", FieldType::Integer), Field("Name", FieldType::String, 60)},
          {Primary("K")});
      limit.rlim_cur = 2500000;
      setrlimit(RLIMIT_FSIZE, &limit);
      try {
        for (; appended < 100000; ++appended)
          table->appendRecord({Value::Integer(appended), Value::Text("n")});
      } catch (const TableError&) {
        refused = true;
      }
      limit.rlim_cur = unlimited;
      setrlimit(RLIMIT_FSIZE, &limit);
      table->flush();
    } catch (...) {
      _exit(2);
    }
    if (!refused) _exit(3);
    auto table = OpenParadoxStorage(path, OpenMode::Shared);
    if (!table->faults().empty() || Keys(*table).size() != static_cast<std::size_t>(appended)) {
      _exit(4);
    }
    const auto keys = Keys(*table);
    for (int k = 0; k < appended; ++k) {
      if (keys[static_cast<std::size_t>(k)] != k) _exit(5);
    }
    _exit(0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(ParadoxStorage, OpenErrorsNameTheFile) {
  TempDir dir;
  try {
    OpenParadoxStorage(dir / "missing.db", OpenMode::Shared);
    FAIL();
  } catch (const TableError& e) {
    EXPECT_NE(std::string(e.what()).find("missing.db"), std::string::npos);
  }
  {
    auto table = CreateParadoxStorage(dir / "ok.db", {Field("K", FieldType::Integer)}, {});
    for (int i = 0; i < 2000; ++i)
      table->appendRecord({Value::Integer(i)});
  }
  const std::string good = ReadBytes(dir / "ok.db");
  const std::size_t firstBlock =
      static_cast<unsigned char>(good[2]) | std::size_t{static_cast<unsigned char>(good[3])} << 8;
  struct Damage {
    const char* what;
    std::size_t offset;
    std::string bytes;
  };
  const Damage damages[] = {
      {"not a table", 4, std::string(1, '\x07')},
      {"record size", 0, std::string("\x05\x00", 2)},
      {"block size", 5, std::string(1, '\x09')},
      {"field count", 0x21, std::string("\x00\x00", 2)},
      {"field type", 0x78, std::string(1, '\x33')},
      {"chain loop", firstBlock, std::string("\x01\x00", 2)},
      {"block overflow", firstBlock + 4, std::string("\xFF\x7F", 2)},
  };
  for (const auto& d : damages) {
    SCOPED_TRACE(d.what);
    std::string bad = good;
    bad.replace(d.offset, d.bytes.size(), d.bytes);
    WriteBytes(dir / "bad.db", bad);
    try {
      OpenParadoxStorage(dir / "bad.db", OpenMode::Shared);
      FAIL() << "opened";
    } catch (const TableError& e) {
      EXPECT_NE(std::string(e.what()).find("bad.db"), std::string::npos) << e.what();
    }
  }
  WriteBytes(dir / "short.db", good.substr(0, 40));
  EXPECT_THROW(OpenParadoxStorage(dir / "short.db", OpenMode::Shared), TableError);
}

TEST(ParadoxStorage, ExclusiveOpenLocksOthersOut) {
  TempDir dir;
  auto table = CreateParadoxStorage(dir / "l.db", {Field("K", FieldType::Integer)}, {});
  EXPECT_THROW(OpenParadoxStorage(dir / "l.db", OpenMode::Shared), TableError);
}

// A writer killed at random moments leaves a table that opens with every flushed record, in key
// order and without duplicates.
TEST(ParadoxStorage, KilledWriterLeavesATableThatOpens) {
  std::mt19937 random(7);
  for (int round = 0; round < 15; ++round) {
    TempDir dir;
    const auto path = dir / "KILL.DB";
    const auto progress = dir / "flushed";
    {
      auto table = CreateParadoxStorage(
          path, {Field("K", FieldType::Integer), Field("Memo", FieldType::Memo, 2)},
          {Primary("K")});
    }
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      auto table = OpenParadoxStorage(path, OpenMode::Exclusive);
      std::mt19937 keys(static_cast<unsigned>(round));
      for (int i = 1;; ++i) {
        try {
          table->appendRecord({Value::Integer(static_cast<int>(keys() % 1000000)),
                               Value::Text(std::string(i % 300, 'q'))});
        } catch (const KeyViolation&) {
        }
        if (i % 500 == 0) {
          table->flush();
          std::ofstream(progress) << table->recordCount();
        }
      }
    }
    usleep(20000 + random() % 200000);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    std::size_t flushed = 0;
    std::ifstream(progress) >> flushed;
    auto table = OpenParadoxStorage(path, OpenMode::Exclusive);
    EXPECT_GE(table->recordCount(), flushed) << "round " << round;
    Record r;
    long last = -1;
    for (std::size_t i = 0; i < table->recordCount(); ++i) {
      table->readRecord(i, r);
      ASSERT_GT(r[0].integer(), last) << "round " << round;
      last = static_cast<long>(r[0].integer());
    }
    // It also takes new records.
    table->appendRecord({Value::Integer(-5), Value::Text(std::string(50, 'z'))});
  }
}

}  // namespace
}  // namespace nox::tables

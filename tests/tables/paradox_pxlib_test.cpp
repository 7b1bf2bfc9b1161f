// Paradox files exchanged with pxlib, an independent implementation: tables pxlib writes (keyed
// and unkeyed, every type it can write, memos) read by our storage, and tables we write (keyed,
// with memos and auto-increment) read back by pxlib in key order with the same values.
// pxlib cannot open memo files for reading, so memo contents are checked by our reader only.
// Writers killed while appending to pxlib's tables leave them whole.

#include <gtest/gtest.h>
#include <unistd.h>

extern "C" {
#include <paradox.h>  // a C library whose header does not say so
}

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>

#include "tables/storage.h"
#include "tests/support/killed_writer.h"
#include "tests/support/temp_dir.h"

namespace nox::tables {
namespace {

using test::TempDir;

constexpr double kDayOffset = 693594;  // Paradox day number of engine day 0

struct PxField {
  const char* name;
  char type;
  int length;
  int decimals;
};

// Writes a table with pxlib; each record is filled by the callback.
void WriteWithPxlib(const std::filesystem::path& path, const std::vector<PxField>& fields,
                    int keyFields, int records,
                    const std::function<void(pxdoc_t*, char*, int)>& fill) {
  pxdoc_t* doc = PX_new();
  std::vector<pxfield_t> defs(fields.size());
  for (std::size_t i = 0; i < fields.size(); ++i) {
    defs[i].px_fname = strdup(fields[i].name);
    defs[i].px_ftype = fields[i].type;
    defs[i].px_flen = fields[i].length;
    defs[i].px_fdc = fields[i].decimals;
  }
  // pxlib takes ownership of the field array.
  auto* owned = static_cast<pxfield_t*>(malloc(sizeof(pxfield_t) * defs.size()));
  std::memcpy(owned, defs.data(), sizeof(pxfield_t) * defs.size());
  ASSERT_EQ(PX_create_file(doc, owned, static_cast<int>(fields.size()), path.c_str(),
                           keyFields > 0 ? pxfFileTypIndexDB : pxfFileTypNonIndexDB),
            0);
  if (keyFields > 0) PX_set_value(doc, "numprimkeys", static_cast<float>(keyFields));
  std::filesystem::path memo = path;
  memo.replace_extension(".mb");
  bool hasBlob = std::any_of(fields.begin(), fields.end(), [](const PxField& f) {
    return f.type == pxfMemoBLOb || f.type == pxfBLOb;
  });
  if (hasBlob) {
    ASSERT_EQ(PX_set_blob_file(doc, memo.c_str()), 0);
  }
  std::vector<char> record(static_cast<std::size_t>(PX_get_recordsize(doc)));
  for (int r = 0; r < records; ++r) {
    std::fill(record.begin(), record.end(), 0);
    fill(doc, record.data(), r);
    ASSERT_GE(PX_put_record(doc, record.data()), 0);
  }
  PX_close(doc);
  PX_delete(doc);
}

TEST(ParadoxPxlib, ReadsEveryTypePxlibWrites) {
  TempDir dir;
  const auto path = dir / "px.db";
  const std::vector<PxField> fields = {
      {"Name", pxfAlpha, 12, 0},    {"Short", pxfShort, 2, 0},    {"Long", pxfLong, 4, 0},
      {"Num", pxfNumber, 8, 0},     {"Money", pxfCurrency, 8, 0}, {"Day", pxfDate, 4, 0},
      {"Flag", pxfLogical, 1, 0},   {"Clock", pxfTime, 4, 0},     {"Stamp", pxfTimestamp, 8, 0},
      {"Dec", pxfBCD, 17, 2},       {"Raw", pxfBytes, 3, 0},      {"Auto", pxfAutoInc, 4, 0},
      {"Memo", pxfMemoBLOb, 15, 0},
  };
  const int count = 400;
  const std::string bigMemo(5000, 'b');
  auto memoOf = [&](int r) -> std::string {
    if (r % 4 == 0) return "";
    if (r % 4 == 1) return "short " + std::to_string(r);
    if (r % 4 == 2) return std::string(100 + r, 'm');
    return bigMemo + std::to_string(r);
  };
  WriteWithPxlib(path, fields, 0, count, [&](pxdoc_t* doc, char* rec, int r) {
    char* p = rec;
    std::string name = "n" + std::to_string(r);
    if (r % 7 != 0) PX_put_data_alpha(doc, p, 12, name.data());
    p += 12;
    PX_put_data_short(doc, p, 2, static_cast<short>(r % 2 ? -r : r));
    p += 2;
    PX_put_data_long(doc, p, 4, r * -100000);
    p += 4;
    if (r % 5 != 0) PX_put_data_double(doc, p, 8, r * -1.25);
    p += 8;
    PX_put_data_double(doc, p, 8, r * 0.01);
    p += 8;
    PX_put_data_long(doc, p, 4, 700000 + r);
    p += 4;
    PX_put_data_byte(doc, p, 1, static_cast<char>(r % 2));
    p += 1;
    PX_put_data_long(doc, p, 4, r * 1000);
    p += 4;
    PX_put_data_double(doc, p, 8, (700000.0 + r) * 86400000.0 + 3600000.0);
    p += 8;
    std::string dec = std::to_string(r % 2 ? -r : r) + ".25";
    PX_put_data_bcd(doc, p, 2, dec.data());
    p += 17;
    const char raw[3] = {1, static_cast<char>(r), 3};
    PX_put_data_bytes(doc, p, 3, const_cast<char*>(raw));
    p += 3;
    PX_put_data_long(doc, p, 4, r + 1);
    p += 4;
    const std::string memo = memoOf(r);
    if (!memo.empty()) {
      PX_put_data_blob(doc, p, 15, const_cast<char*>(memo.data()), static_cast<int>(memo.size()));
    }
  });

  auto table = OpenParadoxStorage(path, OpenMode::Shared);
  ASSERT_EQ(table->recordCount(), static_cast<std::size_t>(count));
  const auto& defs = table->fieldDefs();
  const FieldType types[] = {FieldType::String,  FieldType::SmallInt, FieldType::Integer,
                             FieldType::Float,   FieldType::Currency, FieldType::Date,
                             FieldType::Boolean, FieldType::Time,     FieldType::DateTime,
                             FieldType::BCD,     FieldType::Bytes,    FieldType::AutoInc,
                             FieldType::Memo};
  ASSERT_EQ(defs.size(), std::size(types));
  for (std::size_t i = 0; i < defs.size(); ++i) {
    EXPECT_EQ(defs[i].type, types[i]) << defs[i].name;
    EXPECT_EQ(defs[i].name, fields[i].name);
  }
  EXPECT_EQ(defs[0].size, 12);
  EXPECT_EQ(defs[12].size, 5);
  Record rec;
  for (int r = 0; r < count; ++r) {
    SCOPED_TRACE(r);
    table->readRecord(static_cast<std::size_t>(r), rec);
    EXPECT_EQ(rec[0], r % 7 ? Value::Text("n" + std::to_string(r)) : Value::Null());
    EXPECT_EQ(rec[1], Value::Integer(r % 2 ? -r : r));
    EXPECT_EQ(rec[2], Value::Integer(r * -100000));
    EXPECT_EQ(rec[3], r % 5 ? Value::Float(r * -1.25) : Value::Null());
    EXPECT_EQ(rec[4], Value::Currency(r * 0.01));
    EXPECT_EQ(rec[5], Value::Date(700000 + r - kDayOffset));
    EXPECT_EQ(rec[6], Value::Boolean(r % 2 == 1));
    ASSERT_EQ(rec[7].kind(), Value::Kind::Date);
    EXPECT_NEAR(rec[7].number() * 86400000.0, r * 1000, 1e-3);
    EXPECT_NEAR(rec[8].number(), 700000 + r - kDayOffset + 1.0 / 24, 1e-8);
    EXPECT_NEAR(rec[9].number(), (r % 2 ? -r : r) + (r % 2 ? -0.25 : 0.25), 1e-9);
    EXPECT_EQ(rec[10], Value::Text(std::string({1, static_cast<char>(r), 3})));
    EXPECT_EQ(rec[11], Value::Integer(r + 1));
    const std::string memo = memoOf(r);
    EXPECT_EQ(rec[12], memo.empty() ? Value::Null() : Value::Text(memo));
  }
}

TEST(ParadoxPxlib, ReadsAKeyedTablePxlibWrites) {
  TempDir dir;
  const auto path = dir / "keyed.db";
  WriteWithPxlib(path,
                 {{"Code", pxfAlpha, 6, 0}, {"Day", pxfDate, 4, 0}, {"Rate", pxfNumber, 8, 0}}, 2,
                 3000, [](pxdoc_t* doc, char* rec, int r) {
                   std::string code = "C" + std::to_string(1000 + r / 10);
                   PX_put_data_alpha(doc, rec, 6, code.data());
                   PX_put_data_long(doc, rec + 6, 4, 730000 + r % 10);
                   PX_put_data_double(doc, rec + 10, 8, r / 3.0);
                 });
  auto table = OpenParadoxStorage(path, OpenMode::Exclusive);
  ASSERT_EQ(table->indexDefs().size(), 1u);
  EXPECT_EQ(table->indexDefs()[0].fields, "Code;Day");
  ASSERT_EQ(table->recordCount(), 3000u);
  Record rec;
  table->readRecord(1234, rec);
  EXPECT_EQ(rec[0], Value::Text("C1123"));
  EXPECT_EQ(rec[1], Value::Date(730004 - kDayOffset));
  // The pxlib table takes a new record in key order and refuses an existing key.
  EXPECT_THROW(table->appendRecord(rec), KeyViolation);
  rec[1] = Value::Date(730004.5 - kDayOffset + 0.1);
  rec[0] = Value::Text("C1123A");
  EXPECT_EQ(table->appendRecord(rec), 1240u);
}

// Reads every record with pxlib (memo fields left out: pxlib cannot read memo files).
std::vector<std::vector<std::string>> ReadWithPxlib(const std::filesystem::path& path) {
  // Quiet: pxlib reports every memo it is not given a memo file for.
  pxdoc_t* doc = PX_new2([](pxdoc_t*, int, const char*, void*) {}, nullptr, nullptr, nullptr);
  std::vector<std::vector<std::string>> rows;
  if (PX_open_file(doc, path.c_str()) != 0) {
    ADD_FAILURE() << "pxlib cannot open " << path;
    return rows;
  }
  const int fields = PX_get_num_fields(doc);
  const int count = PX_get_num_records(doc);
  for (int r = 0; r < count; ++r) {
    pxval_t** values = PX_retrieve_record(doc, r);
    std::vector<std::string> row;
    for (int f = 0; f < fields; ++f) {
      pxval_t* v = values[f];
      std::string text;
      if (v->isnull) {
        text = "null";
      } else {
        switch (v->type) {
          case pxfAlpha:
          case pxfBCD:
            text.assign(v->value.str.val, static_cast<std::size_t>(v->value.str.len));
            break;
          case pxfNumber:
          case pxfCurrency:
          case pxfTimestamp:
            text = std::to_string(v->value.dval);
            break;
          case pxfMemoBLOb:
            text = "memo";
            break;
          default:
            text = std::to_string(v->value.lval);
        }
      }
      if ((v->type == pxfAlpha || v->type == pxfBCD || v->type == pxfMemoBLOb) && !v->isnull &&
          v->value.str.val != nullptr) {
        free(v->value.str.val);
      }
      free(v);
      row.push_back(text);
    }
    free(values);
    rows.push_back(row);
  }
  PX_close(doc);
  PX_delete(doc);
  return rows;
}

FieldDef Field(std::string name, FieldType type, int size = 0) {
  FieldDef def;
  def.name = std::move(name);
  def.type = type;
  def.size = size;
  return def;
}

TEST(ParadoxPxlib, PxlibReadsOurKeyedTablesInKeyOrder) {
  TempDir dir;
  const auto path = dir / "ours.db";
  std::vector<int> keys(20000);
  for (int i = 0; i < 20000; ++i)
    keys[i] = i * 7 - 50000;
  std::shuffle(keys.begin(), keys.end(), std::mt19937(3));
  {
    auto table = CreateParadoxStorage(
        path,
        {Field("Key", FieldType::Integer), Field("Name", FieldType::String, 20),
         Field("Amount", FieldType::Currency), Field("Day", FieldType::Date),
         Field("Counter", FieldType::AutoInc), Field("Note", FieldType::Memo, 10)},
        {{"", "Key", ixPrimary}});
    for (int k : keys) {
      table->appendRecord(
          {Value::Integer(k), Value::Text("name" + std::to_string(k)), Value::Currency(k / 4.0),
           Value::Date(36000 + k % 100), Value::Null(),
           k % 3 ? Value::Text(std::string(static_cast<std::size_t>(k % 3000 + 3000) % 3000, 'n'))
                 : Value::Null()});
    }
  }
  std::sort(keys.begin(), keys.end());
  const auto rows = ReadWithPxlib(path);
  ASSERT_EQ(rows.size(), keys.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    const int k = keys[i];
    ASSERT_EQ(rows[i][0], std::to_string(k));
    EXPECT_EQ(rows[i][1], "name" + std::to_string(k));
    EXPECT_EQ(rows[i][2], std::to_string(k / 4.0));
    EXPECT_EQ(rows[i][3], std::to_string(36000 + k % 100 + static_cast<long>(kDayOffset)));
    EXPECT_NE(rows[i][4], "null");
  }
  // Auto-increment numbers are unique and count from 1.
  std::vector<long> counters;
  for (const auto& row : rows)
    counters.push_back(std::stol(row[4]));
  std::sort(counters.begin(), counters.end());
  EXPECT_EQ(counters.front(), 1);
  EXPECT_EQ(counters.back(), static_cast<long>(keys.size()));
  // Memos are read back by our reader.
  auto table = OpenParadoxStorage(path, OpenMode::Shared);
  Record rec;
  for (std::size_t i = 0; i < keys.size(); i += 97) {
    table->readRecord(i, rec);
    const int k = keys[i];
    const std::size_t length = static_cast<std::size_t>(k % 3000 + 3000) % 3000;
    EXPECT_EQ(rec[5], k % 3 && length > 0 ? Value::Text(std::string(length, 'n')) : Value::Null());
  }
}

// The entries of a primary index as pxlib reads it, walking the index file's block chain.
struct PxIndexEntry {
  int level;
  int records;
  std::string firstKey;  // the key's bytes as stored
};

std::vector<PxIndexEntry> ReadIndexWithPxlib(const std::filesystem::path& path) {
  std::vector<PxIndexEntry> result;
  auto quiet = [](pxdoc_t*, int, const char*, void*) {};
  pxdoc_t* index = PX_new2(quiet, nullptr, nullptr, nullptr);
  if (PX_open_file(index, path.c_str()) != 0 || PX_read_primary_index(index) != 0) {
    ADD_FAILURE() << "pxlib cannot read the index " << path;
    PX_delete(index);
    return result;
  }
  const auto* entries = static_cast<const pxpindex_t*>(index->px_data);
  const auto keySize = static_cast<std::size_t>(index->px_head->px_recordsize - 6);
  for (int i = 0; i < index->px_datalen; ++i) {
    result.push_back(
        {entries[i].level, entries[i].numrecords, std::string(entries[i].data, keySize)});
  }
  // pxlib leaves the index's entries to its caller.
  for (int i = 0; i < index->px_datalen; ++i)
    free(entries[i].data);
  free(index->px_data);
  index->px_data = nullptr;
  PX_delete(index);
  return result;
}

// From a few hundred data blocks on the primary index has more than one level. pxlib reads an
// index file by walking its block chain, as a table: every entry the header counts must be on it.
TEST(ParadoxPxlib, PxlibReadsOurMultiLevelPrimaryIndex) {
  TempDir dir;
  const auto path = dir / "big.db";
  constexpr int kRecords = 20000;
  {
    auto table = CreateParadoxStorage(
        path, {Field("Code", FieldType::String, 60), Field("N", FieldType::Integer)},
        {{"", "Code", ixPrimary}});
    for (int i = 0; i < kRecords; ++i)
      table->appendRecord({Value::Text("code" + std::to_string(100000 + i)), Value::Integer(i)});
  }
  int levels = 0, records = 0;
  for (const PxIndexEntry& entry : ReadIndexWithPxlib(dir / "big.px")) {
    levels = std::max(levels, entry.level);
    if (entry.level == 1) records += entry.records;
  }
  EXPECT_EQ(levels, 2);
  EXPECT_EQ(records, kRecords);  // what pxlib checks before it uses an index for a table
}

// Deletes of the first, a middle and the last record and of whole blocks' records: pxlib reads
// the records that are left, and the primary index leads to each of the blocks holding them.
TEST(ParadoxPxlib, PxlibReadsWhatDeletesLeave) {
  for (const bool keyed : {false, true}) {
    SCOPED_TRACE(keyed);
    TempDir dir;
    const auto path = dir / "del.db";
    std::vector<int> kept;
    {
      auto table = CreateParadoxStorage(
          path, {Field("Key", FieldType::Integer), Field("Name", FieldType::String, 40)},
          keyed ? std::vector<IndexDef>{{"", "Key", ixPrimary}} : std::vector<IndexDef>{});
      for (int k = 0; k < 1000; ++k) {
        table->appendRecord({Value::Integer(k), Value::Text("name" + std::to_string(k))});
        kept.push_back(k);
      }
      const auto drop = [&](std::size_t position) {
        table->deleteRecord(position);
        kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(position));
      };
      drop(0);
      drop(kept.size() - 1);
      drop(kept.size() / 2);
      for (int i = 0; i < 300; ++i)  // 92 records fill a block
        drop(150);
    }
    const auto rows = ReadWithPxlib(path);
    ASSERT_EQ(rows.size(), kept.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      ASSERT_EQ(rows[i][0], std::to_string(kept[i])) << i;
      ASSERT_EQ(rows[i][1], "name" + std::to_string(kept[i])) << i;
    }
    if (!keyed) continue;
    // One entry per block in key order, its first key and count those of the block.
    std::size_t first = 0;
    for (const PxIndexEntry& entry : ReadIndexWithPxlib(dir / "del.px")) {
      ASSERT_EQ(entry.level, 1);
      ASSERT_LT(first, kept.size());
      // The stored long: big-endian with the sign bit flipped.
      std::uint32_t bits = 0;
      for (char byte : entry.firstKey)
        bits = bits << 8 | static_cast<unsigned char>(byte);
      EXPECT_EQ(static_cast<std::int32_t>(bits ^ 0x80000000u), kept[first]);
      first += static_cast<std::size_t>(entry.records);
    }
    EXPECT_EQ(first, kept.size());
  }
}

// A writer appending to a table pxlib made (2 KiB header and blocks) is killed at random moments.
// The table then opens sound with every record flushed before the kill and all of pxlib's
// records, without blocks the kill left unlinked; pxlib reads what we read, and the next writer
// goes on where the last flush left off.
TEST(ParadoxPxlib, KilledAppendsToAPxlibTableKeepEverythingFlushed) {
  TempDir dir;
  const auto path = dir / "kill.db";
  WriteWithPxlib(path, {{"Key", pxfLong, 4, 0}, {"Name", pxfAlpha, 30, 0}}, 1, 2000,
                 [](pxdoc_t* doc, char* rec, int r) {
                   PX_put_data_long(doc, rec, 4, r * 1000);
                   PX_put_data_alpha(doc, rec + 4, 30, const_cast<char*>("pxlib"));
                 });
  std::mt19937 random(11);
  for (int round = 0; round < 12; ++round) {
    SCOPED_TRACE(round);
    const int report = 100 + static_cast<int>(random() % 3000);
    const auto reported = test::KillAfterReport(
        [&](int pipeOut) {
          auto table = OpenParadoxStorage(path, OpenMode::Exclusive);
          std::mt19937 keys(static_cast<unsigned>(round));
          std::size_t flushed = table->recordCount();
          for (int i = 1;; ++i) {
            try {
              table->appendRecord(
                  {Value::Integer(static_cast<int>(keys() % 2000000)), Value::Text("ours")});
            } catch (const KeyViolation&) {
            }
            if (i % 250 == 0) {
              table->flush();
              flushed = table->recordCount();
            }
            if (i == report && ::write(pipeOut, &flushed, sizeof flushed) != sizeof flushed) return;
          }
        },
        sizeof(std::size_t));
    ASSERT_TRUE(reported) << "the writer stopped by itself";
    std::size_t flushed = 0;
    std::memcpy(&flushed, reported->data(), sizeof flushed);

    auto table = OpenParadoxStorage(path, OpenMode::Shared);
    EXPECT_EQ(table->faults(), "");
    EXPECT_GE(table->recordCount(), flushed);
    Record record;
    std::int64_t last = -1;
    std::size_t fromPxlib = 0;
    for (std::size_t i = 0; i < table->recordCount(); ++i) {
      table->readRecord(i, record);
      ASSERT_GT(record[0].integer(), last);
      last = record[0].integer();
      if (record[1] == Value::Text("pxlib")) ++fromPxlib;
    }
    EXPECT_EQ(fromPxlib, 2000u);
    const std::size_t count = table->recordCount();
    table.reset();
    // Nothing is left behind that the header does not count: no block written but never linked.
    std::ifstream file(path, std::ios::binary);
    unsigned char head[0x0E] = {};
    file.read(reinterpret_cast<char*>(head), sizeof head);
    const std::size_t headerSize = head[2] | std::size_t{head[3]} << 8;
    const std::size_t blocks = head[0x0C] | std::size_t{head[0x0D]} << 8;
    EXPECT_EQ(std::filesystem::file_size(path), headerSize + blocks * head[5] * 1024);
    EXPECT_EQ(ReadWithPxlib(path).size(), count);
  }
}

// A writer filling a keyed table in key order writes full blocks ahead of its next flush. Killed
// there (in a new table, after a flush, or going on from an earlier writer's table, whose last
// block it rewrote), it leaves the table its last flush left: pxlib reads exactly those records,
// and the file ends with the blocks the header counts.
TEST(ParadoxPxlib, AWriterKilledAfterWritingAheadOfItsFlushLeavesTheFlushedTable) {
  struct Case {
    int earlier;  // records of an earlier writer, closed
    int flushed;  // records the killed writer flushed
    int pending;  // records it appended after that
  };
  for (const Case& c : {Case{0, 0, 40000}, Case{0, 30000, 40000}, Case{10001, 0, 40000}}) {
    SCOPED_TRACE(c.earlier + c.flushed);
    TempDir dir;
    const auto path = dir / "ahead.db";
    const std::vector<FieldDef> fields = {Field("Key", FieldType::Integer),
                                          Field("Name", FieldType::String, 30)};
    auto append = [](TableStorage& table, int from, int count) {
      for (int k = from; k < from + count; ++k)
        table.appendRecord({Value::Integer(k), Value::Text("r" + std::to_string(k))});
    };
    {
      auto table = CreateParadoxStorage(path, fields, {{"", "Key", ixPrimary}});
      append(*table, 0, c.earlier);
    }
    const auto flushedSize =
        std::filesystem::file_size(path) +
        std::uintmax_t{4096} * static_cast<std::uintmax_t>((c.flushed + 119) / 120);
    ASSERT_TRUE(test::KillAfterReport(
        [&](int pipeOut) {
          auto table = OpenParadoxStorage(path, OpenMode::Exclusive);
          append(*table, c.earlier, c.flushed);
          table->flush();
          append(*table, c.earlier + c.flushed, c.pending);
          if (::write(pipeOut, "k", 1) != 1) return;
          for (;;)
            ::pause();
        },
        1));
    // The kill found blocks written since the flush.
    ASSERT_GT(std::filesystem::file_size(path), flushedSize);

    const int expected = c.earlier + c.flushed;
    {
      auto table = OpenParadoxStorage(path, OpenMode::Shared);
      EXPECT_EQ(table->faults(), "");
      EXPECT_EQ(table->recordCount(), static_cast<std::size_t>(expected));
    }
    std::ifstream file(path, std::ios::binary);
    unsigned char head[0x0E] = {};
    file.read(reinterpret_cast<char*>(head), sizeof head);
    const std::size_t headerSize = head[2] | std::size_t{head[3]} << 8;
    const std::size_t blocks = head[0x0C] | std::size_t{head[0x0D]} << 8;
    EXPECT_EQ(std::filesystem::file_size(path), headerSize + blocks * 4096);
    const auto rows = ReadWithPxlib(path);
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(expected));
    for (int k = 0; k < expected; ++k) {
      ASSERT_EQ(rows[k][0], std::to_string(k));
      ASSERT_EQ(rows[k][1], "r" + std::to_string(k));
    }
  }
}

}  // namespace
}  // namespace nox::tables

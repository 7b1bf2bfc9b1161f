// The dBase storage against GDAL as an independent reader and writer of dBase files.

#include <gtest/gtest.h>

#include "host/date_time.h"
#include "tables/storage.h"
#include "tests/support/oracle_gdal.h"
#include "tests/support/temp_dir.h"

namespace nox::tables {
namespace {

Value DateValue(int year, int month, int day) {
  return Value::Date(host::EncodeDate({year, month, day}));
}

class DbaseGdalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!test::GdalAvailable()) GTEST_SKIP() << "GDAL command-line tools not installed";
  }
  test::TempDir dir_;
};

TEST_F(DbaseGdalTest, ReadsEveryValueOfATableGdalWrote) {
  std::filesystem::path table = dir_ / "fromgdal.dbf";
  test::GdalWriteDbase(table,
                       "name,qty,small,price,born,big\n"
                       "\"Alpha  x\",42,3,12.5,2023-01-31,12345678901\n"
                       "\"R\xE2ga\",-12345678,-999,-0.25,1900-03-01,-5\n"
                       "\"\",0,0,0,,0\n"
                       "\"last\",,,,,\n",
                       "\"String(20)\",\"Integer(9)\",\"Integer(4)\",\"Real(12.2)\",\"Date\","
                       "\"Integer64\"");
  auto storage = OpenDbaseStorage(table, OpenMode::Shared);

  struct Expected {
    std::string name;
    FieldType type;
    int size;
  };
  const std::vector<Expected> fields = {
      {"name", FieldType::String, 20},   {"qty", FieldType::Integer, 0},
      {"small", FieldType::SmallInt, 0}, {"price", FieldType::Float, 0},
      {"born", FieldType::Date, 0},      {"big", FieldType::Float, 0},
  };
  ASSERT_EQ(storage->fieldDefs().size(), fields.size());
  for (std::size_t i = 0; i < fields.size(); ++i) {
    EXPECT_EQ(storage->fieldDefs()[i].name, fields[i].name);
    EXPECT_EQ(storage->fieldDefs()[i].type, fields[i].type) << fields[i].name;
    EXPECT_EQ(storage->fieldDefs()[i].size, fields[i].size) << fields[i].name;
  }

  const std::vector<Record> expected = {
      {Value::Text("Alpha  x"), Value::Integer(42), Value::Integer(3), Value::Float(12.5),
       DateValue(2023, 1, 31), Value::Float(12345678901.0)},
      {Value::Text("R\xE2ga"), Value::Integer(-12345678), Value::Integer(-999), Value::Float(-0.25),
       DateValue(1900, 3, 1), Value::Float(-5)},
      {Value::Text(""), Value::Integer(0), Value::Integer(0), Value::Float(0), Value(),
       Value::Float(0)},
      {Value::Text("last"), Value(), Value(), Value(), Value(), Value()},
  };
  ASSERT_EQ(storage->recordCount(), expected.size());
  Record record;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    storage->readRecord(i, record);
    EXPECT_EQ(record, expected[i]) << "record " << i;
  }
}

TEST_F(DbaseGdalTest, GdalReadsWhatTheStorageWrites) {
  std::filesystem::path table = dir_ / "ours.dbf";
  std::vector<FieldDef> fields = {
      NativeFieldDef("NAME", 'C', 12),    NativeFieldDef("SMALL", 'N', 4),
      NativeFieldDef("COUNT", 'N', 9),    NativeFieldDef("PRICE", 'N', 12, 2),
      NativeFieldDef("RATE", 'F', 10, 3), NativeFieldDef("DAY", 'D', 8),
      NativeFieldDef("OK", 'L', 1),       NativeFieldDef("NOTE", 'M', 10)};
  const std::vector<Record> records = {
      {Value::Text("first"), Value::Integer(12), Value::Integer(123456789), Value::Float(1234.5),
       Value::Float(0.125), DateValue(2024, 2, 29), Value::Boolean(true), Value::Text("memo")},
      {Value::Text("R\xE2ga"), Value::Integer(-999), Value::Integer(-5), Value::Float(-0.01),
       Value::Float(-1), DateValue(1899, 12, 30), Value::Boolean(false), Value()},
      {Value::Text(""), Value::Integer(0), Value::Integer(0), Value::Float(0), Value::Float(0),
       Value(), Value(), Value()},
      {Value(), Value(), Value(), Value(), Value(), Value(), Value(), Value()},
  };
  {
    auto storage = CreateDbaseStorage(table, fields, {});
    for (const auto& record : records)
      storage->appendRecord(record);
  }
  auto features = test::GdalReadFeatures(table);
  ASSERT_EQ(features.size(), records.size());
  const std::vector<test::GdalFeature> expected = {
      {{"NAME", "first"},
       {"SMALL", "12"},
       {"COUNT", "123456789"},
       {"PRICE", "1234.50"},
       {"RATE", "0.125"},
       {"DAY", "2024/02/29"},
       {"OK", "T"}},
      {{"NAME", "R\xE2ga"},
       {"SMALL", "-999"},
       {"COUNT", "-5"},
       {"PRICE", "-0.01"},
       {"RATE", "-1.000"},
       {"DAY", "1899/12/30"},
       {"OK", "F"}},
      {{"NAME", "(null)"},
       {"SMALL", "0"},
       {"COUNT", "0"},
       {"PRICE", "0.00"},
       {"RATE", "0.000"},
       {"DAY", ""},
       {"OK", "?"}},
      {{"NAME", "(null)"},
       {"SMALL", "(null)"},
       {"COUNT", "(null)"},
       {"PRICE", "(null)"},
       {"RATE", "(null)"},
       {"DAY", ""},
       {"OK", "?"}},
  };
  // GDAL leaves a blank date unset: it is not listed at all ("" here).
  for (std::size_t i = 0; i < expected.size(); ++i) {
    for (const auto& [name, text] : expected[i]) {
      EXPECT_EQ(features[i][name], text) << "record " << i << " field " << name;
    }
  }

  auto storage = OpenDbaseStorage(table, OpenMode::Shared);
  Record record;
  storage->readRecord(0, record);
  EXPECT_EQ(record, records[0]);
  storage->readRecord(3, record);
  EXPECT_EQ(record[0], Value::Text(""));  // a blank text reads back empty
}

TEST_F(DbaseGdalTest, GdalReadsATableAfterAppendsToItsOwnFile) {
  std::filesystem::path table = dir_ / "mixed.dbf";
  test::GdalWriteDbase(table, "id,name\n1,one\n", "\"Integer(6)\",\"String(8)\"");
  {
    auto storage = OpenDbaseStorage(table, OpenMode::Shared);
    storage->appendRecord({Value::Integer(2), Value::Text("two")});
    storage->updateRecord(0, {Value::Integer(10), Value::Text("ten")});
  }
  auto features = test::GdalReadFeatures(table);
  ASSERT_EQ(features.size(), 2u);
  EXPECT_EQ(features[0]["id"], "10");
  EXPECT_EQ(features[0]["name"], "ten");
  EXPECT_EQ(features[1]["id"], "2");
  EXPECT_EQ(features[1]["name"], "two");
}

// dBase keeps a deleted record in the file, marked, until the table is packed; GDAL passes such
// records over, those still in the write buffer as well as those already on disk.
TEST_F(DbaseGdalTest, GdalPassesDeletedRecordsOver) {
  std::filesystem::path table = dir_ / "deleted.dbf";
  auto storage = CreateDbaseStorage(table, {NativeFieldDef("ID", 'N', 6)}, {});
  std::vector<std::string> kept;
  for (int i = 0; i < 20; ++i) {
    storage->appendRecord({Value::Integer(i)});
    kept.push_back(std::to_string(i));
    if (i == 9) storage->flush();
  }
  const auto gdalIds = [&] {
    storage->flush();
    std::vector<std::string> ids;
    for (auto& feature : test::GdalReadFeatures(table))
      ids.push_back(feature["ID"]);
    return ids;
  };
  for (std::size_t position : {0, 18, 8, 8, 12}) {
    storage->deleteRecord(position);
    kept.erase(kept.begin() + static_cast<std::ptrdiff_t>(position));
  }
  EXPECT_EQ(gdalIds(), kept);
  while (storage->recordCount() > 0)
    storage->deleteRecord(0);
  EXPECT_EQ(gdalIds(), std::vector<std::string>{});
  storage->close();
}

}  // namespace
}  // namespace nox::tables

// TTable over real dBase files: create, fill, reopen, search, empty, lock.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "host/date_time.h"
#include "host/host_formats.h"
#include "tables/table.h"

namespace nox::tables {
namespace {

namespace fs = std::filesystem;

class TableDbaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::HostFormats::SetShortDateFormat(host::DateFormat::Parse("dd.mm.yyyy"));
    host::HostFormats::SetDecimalSeparator('.');
    dir = fs::temp_directory_path() /
          ("nox_table_dbase_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  void Create(TTable& table) {
    table.SetDatabaseName(dir.string());
    table.SetTableName("RATES.DBF");
    table.FieldDefs() = {{"VALKOD", FieldType::String, 3},
                         {"DATAKON", FieldType::Date},
                         {"VALKURS", FieldType::Float, 0, false, 'N', 12, 4},
                         {"OK", FieldType::Boolean}};
    table.CreateTable();
  }

  fs::path dir;
};

TEST_F(TableDbaseTest, RoundTripThroughAFile) {
  {
    TTable table;
    Create(table);
    table.Open();
    const struct {
      const char* code;
      const char* end;
      const char* rate;
      const char* ok;
    } rows[] = {{"USD", "29.02.2004", "60.5", "True"},
                {"EUR", "31.12.2004", "66", "False"},
                {"USD", "31.01.2004", "59.125", ""}};
    for (const auto& row : rows) {
      table.Append();
      table.FieldByName("ValKod").SetAsString(row.code);
      table.FieldByName("DataKon").SetAsString(row.end);
      table.FieldByName("ValKurs").SetAsString(row.rate);
      table.FieldByName("Ok").SetAsString(row.ok);
      table.Post();
    }
    table.Close();
  }
  TTable table;
  table.SetDatabaseName(dir.string());
  table.SetTableName("RATES.DBF");
  table.SetIndexFieldNames("ValKod;DataKon");
  table.Open();
  EXPECT_EQ(table.RecordCount(), 3u);
  table.FindNearest({Value::Text("USD"), Value::Text("15.01.2004")});
  EXPECT_EQ(table.FieldByName("DataKon").AsString(), "31.01.2004");
  EXPECT_EQ(table.FieldByName("ValKurs").AsString(), "59.125");
  EXPECT_TRUE(table.FieldByName("Ok").IsNull() || table.FieldByName("Ok").AsString() == "False");
  table.Next();
  EXPECT_EQ(table.FieldByName("ValKurs").AsString(), "60.5");
  EXPECT_EQ(table.FieldByName("Ok").AsString(), "True");
  table.Close();

  table.EmptyTable();  // closed: opened exclusively for it
  table.Open();
  EXPECT_EQ(table.RecordCount(), 0u);
  EXPECT_EQ(table.FieldCount(), 4);
}

TEST_F(TableDbaseTest, MissingAndLockedTablesRaiseOnOpen) {
  TTable missing;
  missing.SetDatabaseName(dir.string());
  missing.SetTableName("NONE.DBF");
  EXPECT_THROW(missing.Open(), TableError);
  EXPECT_FALSE(missing.Active());

  TTable owner;
  Create(owner);
  owner.SetExclusive(true);
  owner.Open();
  TTable other;
  other.SetDatabaseName(dir.string());
  other.SetTableName("RATES.DBF");
  EXPECT_THROW(other.Open(), TableError);
  owner.Close();
  other.Open();
  EXPECT_TRUE(other.Active());
}

TEST_F(TableDbaseTest, CreateTableReplacesAnExistingFile) {
  TTable table;
  Create(table);
  table.Open();
  table.Append();
  table.FieldByName("ValKod").SetAsString("USD");
  table.Post();
  table.Close();
  table.FieldDefs() = {{"NAME", FieldType::String, 10}};
  table.CreateTable();
  table.Open();
  EXPECT_EQ(table.FieldCount(), 1);
  EXPECT_EQ(table.RecordCount(), 0u);
}

}  // namespace
}  // namespace nox::tables

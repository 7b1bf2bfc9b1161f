// Table paths from descriptions written on Windows: other letter case, Windows-1257 bytes.

#include "tables/path_lookup.h"

#include <gtest/gtest.h>

#include <fstream>

#include "tables/table.h"
#include "tests/support/temp_dir.h"

namespace nox::tables {
namespace {

namespace fs = std::filesystem;

TEST(PathLookupTest, FindsTheFileWhoseNameDiffersInCaseOrEncoding) {
  test::TempDir dir;
  fs::create_directory(dir / "Data");
  for (const char* name : {"Data/customer.db", "Data/B\xC4\x93rzi\xC5\x86\xC5\xA1.dbf"})
    std::ofstream(dir / name) << "x";
  const struct {
    std::string written;
    std::string found;  // relative to the directory
  } cases[] = {
      {"Data/customer.db", "Data/customer.db"},
      {"DATA/CUSTOMER.DB", "Data/customer.db"},
      {"data/Customer.Db", "Data/customer.db"},
      {"Data/B\xE7rzi\xF2\xF0.dbf", "Data/B\xC4\x93rzi\xC5\x86\xC5\xA1.dbf"},  // Windows-1257
      {"DATA/B\xC7RZI\xD2\xD0.DBF", "Data/B\xC4\x93rzi\xC5\x86\xC5\xA1.dbf"},  // and upper case
      {"DATA/B\xC4\x92RZI\xC5\x85\xC5\xA0.DBF", "Data/B\xC4\x93rzi\xC5\x86\xC5\xA1.dbf"},  // UTF-8
      {"Data/missing.db", "Data/missing.db"},  // as written when nothing matches
      {"Nowhere/CUSTOMER.DB", "Nowhere/CUSTOMER.DB"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ExistingSpelling(dir.path() / c.written), dir.path() / c.found) << c.written;
}

// The table and its companions are found whatever their letter case.
TEST(PathLookupTest, TablesOpenWithTheirCompanionsUnderAnyCase) {
  test::TempDir dir;
  TTable table;
  table.SetDatabaseName(dir.path().string());
  table.SetTableName("clients.db");
  table.FieldDefs() = {{"CODE", FieldType::Integer, 0, true}, {"NOTE", FieldType::Memo, 20}};
  table.IndexDefs() = {{"", "CODE", ixPrimary}};
  table.CreateTable();
  table.Open();
  for (int code : {2, 1}) {
    table.Append();
    table.FieldByName("CODE").SetValue(Value::Integer(code));
    table.FieldByName("NOTE").SetAsString(std::string(300, static_cast<char>('a' + code)));
    table.Post();
  }
  table.Close();
  fs::rename(dir / "clients.px", dir / "Clients.PX");
  fs::rename(dir / "clients.mb", dir / "CLIENTS.MB");

  TTable windows;
  windows.SetDatabaseName(dir.path().string());
  windows.SetTableName("CLIENTS.DB");
  windows.Open();
  EXPECT_EQ(windows.FilePath(), dir / "clients.db");
  ASSERT_EQ(windows.IndexDefs().size(), 1u);  // the primary index was found
  EXPECT_EQ(windows.FieldByName("CODE").AsString(), "1");
  EXPECT_EQ(windows.FieldByName("NOTE").AsString(), std::string(300, 'b'));
  windows.Close();
  EXPECT_FALSE(fs::exists(dir / "clients.px"));  // nothing was made beside the old ones
  EXPECT_FALSE(fs::exists(dir / "clients.mb"));
}

}  // namespace
}  // namespace nox::tables

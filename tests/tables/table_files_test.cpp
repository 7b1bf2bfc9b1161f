// Opening, creating, emptying and deleting tables through the storage factory, over named
// in-memory tables.

#include <gtest/gtest.h>

#include "tables/table.h"
#include "tests/support/memory_storage.h"

namespace nox::tables {
namespace {

class TableFilesTest : public ::testing::Test {
 protected:
  void Define(TTable& table) {
    table.SetDatabaseName("/data");
    table.SetTableName("CUSTOMER.DB");
    table.FieldDefs() = {{"CODE", FieldType::Integer, 0, true}, {"QTY", FieldType::Integer}};
    table.IndexDefs() = {{"", "CODE", ixPrimary}};
  }

  test::MemoryFiles files;
};

TEST_F(TableFilesTest, OpenMissingOrLockedRaisesTheStorageError) {
  TTable table(files.Factory());
  Define(table);
  try {
    table.Open();
    ADD_FAILURE() << "no error";
  } catch (const TableError& error) {
    EXPECT_STREQ(error.what(), "Table 'CUSTOMER.DB' does not exist");
  }
  table.CreateTable();
  table.SetExclusive(true);
  table.Open();
  EXPECT_THROW(table.SetExclusive(false), TableError);  // not while open
  TTable other(files.Factory());
  Define(other);
  EXPECT_THROW(other.Open(), TableError);
  table.Close();
  other.Open();
  EXPECT_TRUE(other.Active());
  EXPECT_EQ(other.QuickRecordCount(), 0u);
  other.Close();
  EXPECT_EQ(other.QuickRecordCount(), 0u);
}

TEST_F(TableFilesTest, CreateReplacesEmptyKeepsStructureDeleteRemoves) {
  TTable table(files.Factory());
  Define(table);
  table.CreateTable();
  table.Open();
  for (int code : {1, 2}) {
    table.Append();
    table.FieldByName("CODE").SetValue(Value::Integer(code));
    table.Post();
  }
  table.Close();

  table.EmptyTable();  // closed table
  table.FieldDefs().clear();
  table.IndexDefs().clear();
  table.IndexDefsUpdate();
  EXPECT_EQ(table.IndexDefs().at(0).fields, "CODE");
  table.Open();
  EXPECT_EQ(table.RecordCount(), 0u);
  EXPECT_EQ(table.FieldCount(), 2);
  EXPECT_EQ(table.CurrentIndexFields(), "CODE");
  EXPECT_THROW(table.CreateTable(), TableError);  // not while open
  table.Close();

  table.FieldDefs() = {{"NAME", FieldType::String, 10}};
  table.IndexDefs().clear();
  table.CreateTable();
  table.Open();
  EXPECT_EQ(table.FieldCount(), 1);
  EXPECT_EQ(table.CurrentIndexFields(), "");
  table.Close();
  EXPECT_TRUE(table.DeleteTable());
  EXPECT_FALSE(table.DeleteTable());
  EXPECT_THROW(table.Open(), TableError);
}

}  // namespace
}  // namespace nox::tables

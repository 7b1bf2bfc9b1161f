// A table cleared by a run is built beside it, emptied, and put in its place. The copy is made
// without the records: the files must be exactly those that emptying a whole copy leaves, with the
// table's permissions, in each format.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tables/table.h"
#include "tests/support/temp_dir.h"

namespace nox::tables {
namespace {

namespace fs = std::filesystem;

// The file's bytes, without the dBase header's date of the last change.
std::string Bytes(const fs::path& file, bool dbase) {
  std::ifstream in(file, std::ios::binary);
  std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (dbase && bytes.size() > 3) bytes.replace(1, 3, "DAY");
  return bytes;
}

void Fill(TTable& table, const fs::path& dir, const std::string& name, bool keyed) {
  table.SetDatabaseName(dir.string());
  table.SetTableName(name);
  table.FieldDefs() = {{"CODE", FieldType::Integer, 0, keyed}, {"NOTE", FieldType::Memo, 20}};
  if (keyed) table.IndexDefs() = {{"", "CODE", ixPrimary}};
  table.CreateTable();
  table.Open();
  for (int code = 1; code <= 300; ++code) {
    table.Append();
    table.FieldByName("CODE").SetValue(Value::Integer(code));
    table.FieldByName("NOTE").SetValue(
        Value::Text(std::string(700, static_cast<char>('a' + code % 26))));
    table.Post();
  }
  table.Close();
}

TEST(TableReplacement, AClearedCopyEqualsAnEmptiedWholeCopy) {
  const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_write;
  for (const auto& [name, keyed] : {std::pair{"NOTES.DBF", false}, std::pair{"NOTES.DB", true}}) {
    SCOPED_TRACE(name);
    const test::TempDir dir;
    TTable table;
    Fill(table, dir.path(), name, keyed);
    fs::permissions(dir / name, mode);
    const fs::path reference = dir / "reference";
    fs::create_directory(reference);
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      if (entry.is_regular_file()) files.push_back(entry.path().filename());
    }
    ASSERT_EQ(files.size(), keyed ? 3u : 2u);  // the table, its memo file, its primary index
    for (const fs::path& file : files)
      fs::copy_file(dir / file, reference / file);
    TTable emptied;
    emptied.SetDatabaseName(reference.string());
    emptied.SetTableName(name);
    emptied.EmptyTable();

    table.Open();
    table.BeginReplacement();
    table.CommitReplacement();
    table.Close();
    for (const fs::path& file : files) {
      SCOPED_TRACE(file.string());
      EXPECT_EQ(Bytes(dir / file, !keyed), Bytes(reference / file, !keyed));
    }
    EXPECT_EQ(fs::status(dir / name).permissions(), mode);
  }
}

}  // namespace
}  // namespace nox::tables

// noxconv --info / --dump on a table written through the engine.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "host/host_formats.h"
#include "tables/table.h"
#include "tests/support/program_run.h"

namespace {

namespace fs = std::filesystem;
using nox::tables::FieldType;
using nox::tables::TTable;
using nox::tables::Value;
using nox::test::ProgramRun;

// Runs noxconv with the host formats of a comma-separator, month-first user.
ProgramRun Noxconv(const std::string& arguments) {
  return nox::test::RunCommand("NOX_DECIMAL_SEPARATOR=, NOX_DATE_FORMAT=mm/dd/yyyy '" +
                               std::string(NOXCONV_PATH) + "' " + arguments + " 2>&1");
}

class CliTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    nox::host::HostFormats::SetShortDateFormat(nox::host::DateFormat::Parse("dd.mm.yyyy"));
    nox::host::HostFormats::SetDecimalSeparator('.');
    dir = fs::temp_directory_path() / ("nox_cli_tables_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    path = (dir / "CLIENTS.DBF").string();

    TTable table;
    table.SetTableName(path);
    table.FieldDefs() = {{"NAME", FieldType::String, 20},
                         {"SINCE", FieldType::Date},
                         {"BALANCE", FieldType::Float, 0, false, 'N', 12, 2},
                         {"ACTIVE", FieldType::Boolean},
                         {"QTY", FieldType::Integer, 0, false, 'N', 6, 0}};
    table.CreateTable();
    table.Open();
    const Value rows[][5] = {
        {Value::Text("Smith, \"Jr\""), Value::Text("02.01.2004"), Value::Float(1234.5),
         Value::Boolean(true), Value::Integer(7)},
        {Value::Text("\xe0tra"), Value::Null(), Value::Float(-0.25), Value::Boolean(false),
         Value::Null()},
    };
    for (const auto& row : rows) {
      table.Append();
      for (int i = 0; i < 5; ++i)
        table.Fields(i).SetValue(row[i]);
      table.Post();
    }
  }
  void TearDown() override { fs::remove_all(dir); }

  fs::path dir;
  std::string path;
};

TEST_F(CliTablesTest, DumpWritesCsvIndependentOfHostFormats) {
  const ProgramRun run = Noxconv("--dump '" + path + "'");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out,
            "NAME,SINCE,BALANCE,ACTIVE,QTY\n"
            "\"Smith, \"\"Jr\"\"\",2004-01-02,1234.5,T,7\n"
            "\xc4\x85tra,,-0.25,F,\n");
}

TEST_F(CliTablesTest, InfoListsTypeFieldsKeyAndCount) {
  const ProgramRun run = Noxconv("--info '" + path + "'");
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("Type: dBase\nLevel: dBase III+\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Records: 2\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Key: (none)\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Fields:\n  NAME ALPHA 20\n  SINCE DATE 0\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("  ACTIVE BOOLEAN 0\n"), std::string::npos) << run.out;
}

TEST_F(CliTablesTest, ErrorsNameTheTableAndFail) {
  const ProgramRun missing = Noxconv("--dump '" + (dir / "NONE.DBF").string() + "'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.out.find("NONE.DBF"), std::string::npos) << missing.out;
  EXPECT_EQ(Noxconv("--info").status, 2);
}

}  // namespace

// noxconv --info / --dump on a table written through the engine.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "host/date_time.h"
#include "host/host_formats.h"
#include "tables/table.h"
#include "tests/support/program_run.h"

namespace {

namespace fs = std::filesystem;
using nox::tables::FieldType;
using nox::tables::TTable;
using nox::tables::Value;
using nox::test::ProgramRun;

// Runs noxconv with the host formats of a comma-separator, month-first user (under a runner such
// as "timeout 20" when given).
ProgramRun Noxconv(const std::string& arguments, const std::string& runner = "") {
  return nox::test::RunCommand("NOX_DECIMAL_SEPARATOR=, NOX_DATE_FORMAT=mm/dd/yyyy " + runner +
                               " '" + std::string(NOXCONV_PATH) + "' " + arguments + " 2>&1");
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

// A time stamp always has its time; --raw writes the bytes stored, also those Windows-1257 has
// no character for, which the UTF-8 dump cannot give back.
TEST_F(CliTablesTest, DumpWritesTimeStampsInOneFormAndRawBytesOnRequest) {
  const std::string stamps = (dir / "STAMPS.DB").string();
  TTable table;
  table.SetTableName(stamps);
  table.FieldDefs() = {{"WHEN", FieldType::DateTime}, {"NOTE", FieldType::String, 10}};
  table.CreateTable();
  table.Open();
  const double day = nox::host::EncodeDate({2004, 1, 2});
  for (const double when : {day, day + 0.5}) {
    table.Append();
    table.Fields(0).SetValue(Value::Date(when));
    table.Fields(1).SetValue(Value::Text("\x81\xe0"));
    table.Post();
  }
  table.Close();
  const struct {
    const char* option;
    const char* out;
  } cases[] = {
      {"",
       "WHEN,NOTE\n2004-01-02 00:00:00,\xef\xbf\xbd\xc4\x85\n"
       "2004-01-02 12:00:00,\xef\xbf\xbd\xc4\x85\n"},
      {"--raw ", "WHEN,NOTE\n2004-01-02 00:00:00,\x81\xe0\n2004-01-02 12:00:00,\x81\xe0\n"},
  };
  for (const auto& c : cases) {
    const ProgramRun run = Noxconv(std::string("--dump ") + c.option + "'" + stamps + "'");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out, c.out) << c.option;
  }
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

// A header counting one record of the two the file holds: --info says so, --dump writes what it
// can read, warns and fails; a FIFO named as a table is refused at once.
TEST_F(CliTablesTest, DamagedTablesAreReportedAndPipesRefused) {
  {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(4);
    file.put('\x01');
  }
  const std::string fault = "its header counts 1 records but the file holds 2";
  const ProgramRun info = Noxconv("--info '" + path + "'");
  EXPECT_EQ(info.status, 0) << info.out;
  EXPECT_NE(info.out.find("Records: 1\nDamaged: " + fault), std::string::npos) << info.out;
  const ProgramRun dump = Noxconv("--dump '" + path + "'");
  EXPECT_EQ(dump.status, 1) << dump.out;
  EXPECT_NE(dump.out.find("is damaged: " + fault), std::string::npos) << dump.out;
  EXPECT_NE(dump.out.find("\"Smith, \"\"Jr\"\"\",2004-01-02"), std::string::npos) << dump.out;

  const std::string pipe = (dir / "PIPE.DB").string();
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
  for (const char* option : {"--info", "--dump"}) {
    const ProgramRun run = Noxconv(std::string(option) + " '" + pipe + "'", "timeout 20");
    EXPECT_EQ(run.status, 1) << run.out;
    EXPECT_NE(run.out.find("'PIPE.DB' is not a regular file"), std::string::npos) << run.out;
  }
}

}  // namespace

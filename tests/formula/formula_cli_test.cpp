// noxconv --eval against a dBase table written through the engine.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "host/date_time.h"
#include "tables/table.h"
#include "tests/support/program_run.h"
#include "tests/support/temp_dir.h"

namespace nox::formula {
namespace {

namespace fs = std::filesystem;
using tables::FieldType;
using tables::Value;

struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

class FormulaCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tables::TTable table;
    table.SetTableName(source);
    table.FieldDefs() = {{"NAME", FieldType::String, 20},
                         {"N", FieldType::Integer, 0, false, 'N', 6, 0},
                         {"P", FieldType::Float, 0, false, 'N', 8, 2},
                         {"D", FieldType::Date}};
    table.CreateTable();
    table.Open();
    const Value rows[][4] = {
        {Value::Text("Smith"), Value::Integer(7), Value::Float(2.5),
         Value::Date(host::EncodeDate({2004, 3, 15}))},
        {Value::Text("Jones"), Value::Integer(8), Value::Float(1), Value::Null()},
    };
    for (const auto& row : rows) {
      table.Append();
      for (int i = 0; i < 4; ++i)
        table.Fields(i).SetValue(row[i]);
      table.Post();
    }
    table.Close();
  }

  // Runs noxconv with a comma-separator, day-first host (and the engine configuration of the
  // directory when a test wrote one).
  ProgramRun Noxconv(const std::string& arguments) const {
    const std::string errFile = (dir / "stderr.txt").string();
    const fs::path config = dir / "engine.cfg";
    const std::string command =
        (fs::exists(config) ? "NOX_ENGINE_CONFIG='" + config.string() + "' " : std::string()) +
        "NOX_DECIMAL_SEPARATOR=, NOX_DATE_FORMAT=dd.mm.yyyy '" + std::string(NOXCONV_PATH) + "' " +
        arguments + " 2>'" + errFile + "'";
    const test::ProgramRun output = test::RunCommand(command);
    ProgramRun run{output.status, output.out, {}};
    std::ostringstream err;
    err << std::ifstream(errFile).rdbuf();
    run.err = err.str();
    return run;
  }

  nox::test::TempDir dir;
  std::string source = (dir / "SOURCE.DBF").string();
};

TEST_F(FormulaCliTest, PrintsTheValueAgainstTheFirstRecord) {
  const struct {
    const char* formula;
    const char* out;
  } cases[] = {
      {"NAME+'!'", "Smith!\n"},
      {"P*2", "5\n"},
      {"P+0.25", "2,75\n"},
      {"D+1", "16.03.2004\n"},
      {"LEFT(NAME,2)", "Sm\n"},
      {"GETKURS('',D)", "1\n"},                         // a blank code needs no rate table
      {"'\xC4\x81'+'\xC5\xBD'", "\xC4\x81\xC5\xBD\n"},  // UTF-8 in, Windows-1257 inside, UTF-8 out
  };
  for (const auto& example : cases) {
    const ProgramRun run =
        Noxconv("--eval \"" + std::string(example.formula) + "\" --source '" + source + "'");
    EXPECT_EQ(run.status, 0) << example.formula << run.err;
    EXPECT_EQ(run.out, example.out) << example.formula;
  }
}

TEST_F(FormulaCliTest, GetKursReadsTheRateTableOfARun) {
  fs::create_directory(dir / "rates");
  tables::TTable rates;
  rates.SetTableName((dir / "rates" / "KursVal.DB").string());
  rates.FieldDefs() = {{"ValKod", FieldType::String, 3},
                       {"DataNach", FieldType::Date},
                       {"DataKon", FieldType::Date},
                       {"ValKurs", FieldType::Float},
                       {"ValKf", FieldType::Float}};
  rates.CreateTable();
  rates.Open();
  rates.Append();
  rates.FieldByName("ValKod").SetAsString("USD");
  rates.FieldByName("DataNach").SetValue(Value::Date(host::EncodeDate({2004, 1, 1})));
  rates.FieldByName("DataKon").SetValue(Value::Date(host::EncodeDate({2004, 12, 31})));
  rates.FieldByName("ValKurs").SetValue(Value::Float(59));
  rates.FieldByName("ValKf").SetValue(Value::Float(100));
  rates.Post();
  rates.Close();
  std::ofstream(dir / "engine.cfg") << "[Aliases]\nVexal=" << (dir / "rates").string() << "\n";
  const ProgramRun run = Noxconv("--eval \"GETKURS('USD',D)\" --source '" + source + "'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "0,59\n");
}

TEST_F(FormulaCliTest, QuotesAtMostTheStartOfALongInput) {
  const ProgramRun run = Noxconv("--eval \"VAL('" + std::string(100000, '7') + "x')+1\"");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "noxconv: '" + std::string(200, '7') + "...' is not a valid integer value\n");
}

TEST_F(FormulaCliTest, TracesTheListsBeforeAndAfter) {
  const ProgramRun run = Noxconv("--eval \"N*P\" --trace --source '" + source + "'");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "translated: N:Pole *:* P:Pole\nreduced: 17.5:ParR\n17,5\n");
}

TEST_F(FormulaCliTest, FailuresEndWithStatusOne) {
  const struct {
    const char* arguments;
    int status;
    const char* out;
    const char* err;
  } cases[] = {
      {"--eval \"'a'+1\"", 1, "!!!ERROR!!!\n", "Can not evaluate expression:\n\na+1\n"},
      // An error quotes at most 200 bytes of its input and escapes control characters.
      {"--eval \"VAL('\x1b[2J')+1\"", 1, "", "'\\x1B[2J' is not a valid integer value"},
      {"--eval \"1/0\"", 1, "", "noxconv: Division by zero"},
      {"--eval \"Orders.Total\"", 1, "", "noxconv: Table 'Orders' not found"},
      {"--eval \"1\" --source /no/such/table.dbf", 1, "", "/no/such/table.dbf"},
      {"--eval", 2, "", "noxconv: --eval needs a formula"},
      {"--eval \"1\" --verbose", 2, "", "unexpected argument '--verbose'"},
      {"--eval \"'\xE6\x97\xA5'\"", 2, "", "Windows-1257 cannot write"},
  };
  for (const auto& example : cases) {
    const ProgramRun run = Noxconv(example.arguments);
    EXPECT_EQ(run.status, example.status) << example.arguments;
    EXPECT_EQ(run.out, example.out) << example.arguments;
    EXPECT_NE(run.err.find(example.err), std::string::npos) << example.arguments << ": " << run.err;
  }
}

}  // namespace
}  // namespace nox::formula

// The exchange-rate lookup on a rate table written to disk as a Paradox table, and GETKURS on it.

#include "formula/exchange_rate.h"

#include <gtest/gtest.h>

#include <string>

#include "formula/formula.h"
#include "formula/function_library.h"
#include "host/date_time.h"
#include "host/host_formats.h"
#include "tables/table.h"
#include "tests/support/temp_dir.h"

namespace nox::formula {
namespace {

using tables::FieldType;
using tables::Value;

struct RateRow {
  const char* code;
  host::CivilDate from;
  host::CivilDate to;
  Value rate;
  Value units;
};

class ExchangeRateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::HostFormats::SetShortDateFormat(host::DateFormat::Parse("dd.mm.yyyy"));
    host::HostFormats::SetDecimalSeparator('.');
  }
  void TearDown() override { SetExchangeRateTable(nullptr); }

  // Writes the rate table with the given rows and leaves it closed, in the lookup's order.
  void WriteRates(const std::vector<RateRow>& rows) {
    table.SetDatabaseName(dir.path().string());
    table.SetTableName(std::string(kExchangeRateTableName));
    table.FieldDefs() = {{"ValKod", FieldType::String, 3},
                         {"DataNach", FieldType::Date},
                         {"DataKon", FieldType::Date},
                         {"ValKurs", FieldType::Float},
                         {"ValKf", FieldType::Float}};
    table.CreateTable();
    table.Open();
    for (const RateRow& row : rows) {
      table.Append();
      table.FieldByName("ValKod").SetAsString(row.code);
      table.FieldByName("DataNach").SetAsDateTime(host::EncodeDate(row.from));
      table.FieldByName("DataKon").SetAsDateTime(host::EncodeDate(row.to));
      table.FieldByName("ValKurs").SetValue(row.rate);
      table.FieldByName("ValKf").SetValue(row.units);
      table.Post();
    }
    table.Close();
    table.SetIndexFieldNames(std::string(kExchangeRateIndexFields));
  }

  void WriteUsdRates() {
    WriteRates({{"USD", {2004, 2, 1}, {2004, 2, 29}, Value::Float(60.5), Value::Float(100)},
                {"EUR", {2004, 1, 1}, {2004, 12, 31}, Value::Float(66), Value::Float(100)},
                {"USD", {2004, 1, 1}, {2004, 1, 31}, Value::Float(59), Value::Float(100)},
                {"USD", {2004, 3, 10}, {2004, 3, 31}, Value::Float(1), Value::Float(3)}});
  }

  // GETKURS as the calculator calls it.
  std::string GetKurs(const char* code, const char* date) {
    const Operand args[] = {{code, Tag::Str}, {date, Tag::Date}};
    const auto result = CallBuiltin("GETKURS", args, CalculationContext{});
    EXPECT_TRUE(result);
    if (!result) return {};
    EXPECT_EQ(result->tag, Tag::ParR);
    return result->text;
  }

  test::TempDir dir;
  tables::TTable table;
};

TEST_F(ExchangeRateTest, FindsTheRateOfThePeriodHoldingTheDate) {
  WriteUsdRates();
  SetExchangeRateTable(&table);
  const struct {
    const char* code;
    const char* date;
    const char* rate;
  } cases[] = {
      {"USD", "15.01.2004", "0.59"},
      {"USD", "31.01.2004", "0.59"},
      {"USD", "01.01.2004", "0.59"},
      {"USD", "01.02.2004", "0.605"},
      {"USD", "01.03.2004", "0"},            // in the gap between two periods
      {"USD", "01.04.2004", "0"},            // after the last period of the currency
      {"USD", "31.12.2003", "0"},            // before the first
      {"USD", "15.03.2004", "0.333333333"},  // nine decimals
      {"usd", "15.01.2004", "0"},            // codes are compared exactly
      {"EUR", "15.06.2004", "0.66"},
      {"GBP", "15.06.2004", "0"},  // a code after every other one
      {"AAA", "15.06.2004", "0"},  // a code before every other one
      {"", "15.01.2004", "1"},
      {"  ", "15.01.2004", "1"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetKurs(c.code, c.date), c.rate) << c.code << " on " << c.date;
  }
  EXPECT_TRUE(table.Active());  // opened at the first lookup and left open
}

TEST_F(ExchangeRateTest, BlankCodeNeedsNoTable) {
  EXPECT_EQ(GetExchangeRate(" ", &table, {2004, 1, 15}), 1);
  EXPECT_FALSE(table.Active());
  EXPECT_EQ(GetKurs("", "15.01.2004"), "1");  // none handed over at all
}

TEST_F(ExchangeRateTest, EmptyTableHasNoRate) {
  WriteRates({});
  EXPECT_EQ(GetExchangeRate("USD", &table, {2004, 1, 15}), 0);
}

TEST_F(ExchangeRateTest, BadRatesEndTheCalculation) {
  WriteRates({{"AUD", {2004, 1, 1}, {2004, 1, 31}, Value::Float(59), Value::Float(0)},
              {"CAD", {2004, 1, 1}, {2004, 1, 31}, Value::Float(59), Value::Null()},
              {"CHF", {2004, 1, 1}, {2004, 1, 31}, Value::Null(), Value::Float(1)}});
  const struct {
    const char* code;
    const char* message;
  } cases[] = {
      {"AUD", "Division by zero: the rate of 'AUD' has a ValKf of zero or empty"},
      {"CAD", "Division by zero: the rate of 'CAD' has a ValKf of zero or empty"},
      {"CHF", "The rate of 'CHF' has an empty ValKurs"},
  };
  for (const auto& c : cases) {
    try {
      GetExchangeRate(c.code, &table, {2004, 1, 15});
      ADD_FAILURE() << c.code << " raised nothing";
    } catch (const FormulaError& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
  }
}

TEST_F(ExchangeRateTest, MissingTableFailsWithTheEnginesErrorAndNoTableWithOurs) {
  table.SetDatabaseName(dir.path().string());
  table.SetTableName(std::string(kExchangeRateTableName));
  EXPECT_THROW(GetExchangeRate("USD", &table, {2004, 1, 15}), tables::TableError);
  EXPECT_THROW(GetKurs("USD", "15.01.2004"), FormulaError);  // none handed over
}

TEST_F(ExchangeRateTest, GetKursWorksInsideFormulas) {
  WriteUsdRates();
  SetExchangeRateTable(&table);
  EXPECT_EQ(EvaluateFormula("GETKURS('USD',CTOD('01.02.2004'))", nullptr, nullptr), "0.605");
  EXPECT_EQ(EvaluateFormula("1000*GETKURS('USD',CTOD('15.01.2004'))", nullptr, nullptr), "590");
  EXPECT_EQ(EvaluateFormula("100*GETKURS('USD',CTOD('01.03.2004'))", nullptr, nullptr), "0");
  // A date the host rules cannot read.
  EXPECT_THROW(GetKurs("USD", "11.11.11x"), FormulaError);
}

}  // namespace
}  // namespace nox::formula

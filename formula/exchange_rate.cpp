#include "formula/exchange_rate.h"

#include <cmath>
#include <optional>
#include <string>

#include "formula/formula.h"
#include "formula/text_library.h"
#include "host/date_time.h"
#include "host/number_format.h"
#include "tables/table.h"

namespace nox::formula {
namespace {

tables::TTable* rateTable = nullptr;

// A number field's value; nothing when the field is empty. A text field is read as a number.
std::optional<long double> NumberOf(tables::TField& field, std::string_view code) {
  const tables::Value& value = field.GetValue();
  switch (value.kind()) {
    case tables::Value::Kind::Null:
      return std::nullopt;
    case tables::Value::Kind::Integer:
      return static_cast<long double>(value.integer());
    case tables::Value::Kind::Float:
    case tables::Value::Kind::Currency:
      return value.number();
    case tables::Value::Kind::Text: {
      if (IsBlankText(value.text())) return std::nullopt;
      if (auto number = host::TextToFloat(value.text())) return number;
      break;
    }
    case tables::Value::Kind::Date:
    case tables::Value::Kind::Boolean:
      break;
  }
  throw FormulaError("The rate of '" + std::string(code) + "' has no number in " +
                     field.FieldName() + ": '" + field.AsString() + "'");
}

}  // namespace

void ConfigureExchangeRateTable(tables::TTable& table) {
  table.SetDatabaseName(std::string(kExchangeRateAlias));
  table.SetTableName(std::string(kExchangeRateTableName));
  table.SetIndexFieldNames(std::string(kExchangeRateIndexFields));
}

void SetExchangeRateTable(tables::TTable* table) {
  rateTable = table;
}

tables::TTable* ExchangeRateTable() {
  return rateTable;
}

long double GetExchangeRate(std::string_view code, tables::TTable* rates,
                            const host::CivilDate& date) {
  if (IsBlankText(code)) return 1;
  if (rates == nullptr) {
    throw FormulaError("GETKURS: no exchange-rate table (" + std::string(kExchangeRateTableName) +
                       ") has been set up");
  }
  tables::TTable& table = *rates;
  if (!table.Active()) table.Open();

  const double day = host::EncodeDate(date);
  table.FindNearest({tables::Value::Text(std::string(code)), tables::Value::Date(day)});
  // An empty table has no current record to read.
  if (table.Eof() && table.Bof()) return 0;
  if (day < std::floor(table.FieldByName("DataNach").AsDateTime()) ||
      day > std::floor(table.FieldByName("DataKon").AsDateTime()) ||
      table.FieldByName("ValKod").AsString() != code) {
    return 0;
  }

  const std::optional<long double> rate = NumberOf(table.FieldByName("ValKurs"), code);
  if (!rate) throw FormulaError("The rate of '" + std::string(code) + "' has an empty ValKurs");
  const std::optional<long double> units = NumberOf(table.FieldByName("ValKf"), code);
  if (!units || *units == 0) {
    throw FormulaError("Division by zero: the rate of '" + std::string(code) +
                       "' has a ValKf of zero or empty");
  }
  // Nine decimals, the last rounded half away from zero.
  return std::round(*rate / *units * 1e9L) / 1e9L;
}

}  // namespace nox::formula

// Translates arbitrary text as a filter for a fixed table and tests it on a full and an empty
// record: a faulty filter must end in TableError, never in a crash.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "host/date_time.h"
#include "tables/filter.h"

namespace {

using nox::tables::FieldDef;
using nox::tables::FieldType;
using nox::tables::Record;
using nox::tables::Value;

const std::vector<FieldDef>& Fields() {
  static const std::vector<FieldDef> fields = {
      {"NAME", FieldType::String, 20}, {"CITY", FieldType::String, 20},
      {"QTY", FieldType::Integer},     {"PRICE", FieldType::Float},
      {"AMOUNT", FieldType::Currency}, {"BORN", FieldType::Date},
      {"STAMP", FieldType::DateTime},  {"AT", FieldType::Time},
      {"PAID", FieldType::Boolean},    {"FULL NAME", FieldType::String, 40},
      {"NOTES", FieldType::Memo},      {"PHOTO", FieldType::Graphic}};
  return fields;
}

const Record& FullRecord() {
  static const Record record = {
      Value::Text("Smith   "),  Value::Text("Riga"),  Value::Integer(5),
      Value::Float(-2.5),       Value::Currency(10),  Value::Date(38061),
      Value::Date(38061.4375),  Value::Date(0.34375), Value::Boolean(true),
      Value::Text("John \xE2"), Value::Text(""),      Value::Text("\x89PNG")};
  return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const auto filter = nox::tables::FilterExpression::Parse(text, Fields());
    filter.Matches(FullRecord());
    filter.Matches(Record(Fields().size()));
    filter.Matches(Record{});
  } catch (const nox::tables::TableError&) {
  }
  return 0;
}

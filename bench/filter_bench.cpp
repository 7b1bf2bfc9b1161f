// Records tested per second by a translated filter, the engine's inner loop of a filtered scan.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tables/filter.h"

namespace {

using nox::tables::FieldDef;
using nox::tables::FieldType;
using nox::tables::FilterExpression;
using nox::tables::Record;
using nox::tables::Value;

const std::vector<FieldDef> kFields = {
    {"NAME", FieldType::String, 20}, {"CITY", FieldType::String, 20}, {"QTY", FieldType::Integer}};

// Varied records, so that neither outcome is always taken.
std::vector<Record> Records() {
  const char* const names[] = {"ABBOTT", "ABRAMS", "BAKER", "AB", "ZANDER", "ABC   "};
  const char* const cities[] = {"Riga", "Liepaja", "Riga  ", "Ventspils"};
  std::vector<Record> records;
  for (std::int64_t i = 0; i < 1024; ++i) {
    records.push_back({Value::Text(names[i % 6]), Value::Text(cities[i % 4]),
                       i % 5 == 0 ? Value::Null() : Value::Integer(i % 7 - 3)});
  }
  return records;
}

void BM_Matches(benchmark::State& state, const char* text) {
  const FilterExpression filter = FilterExpression::Parse(text, kFields);
  const std::vector<Record> records = Records();
  std::size_t index = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(filter.Matches(records[index]));
    index = (index + 1) % records.size();
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK_CAPTURE(BM_Matches, number, "QTY > 0");
BENCHMARK_CAPTURE(BM_Matches, prefix_and_text, "NAME = 'AB*' AND CITY <> 'Riga'");
BENCHMARK_CAPTURE(BM_Matches, functions, "UPPER(TRIM(CITY)) = 'RIGA' OR QTY * 2 + 1 >= 5");

}  // namespace

BENCHMARK_MAIN();

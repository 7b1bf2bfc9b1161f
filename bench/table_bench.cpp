// TTable navigation over a dBase file: scanning field by field in record order, with a filter,
// and key searches on an in-memory secondary order.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>

#include "tables/table.h"

namespace {

namespace fs = std::filesystem;
using nox::tables::FieldType;
using nox::tables::TTable;
using nox::tables::Value;

// A dBase table of `count` records, made once per size.
fs::path SampleTable(std::int64_t count) {
  const fs::path path =
      fs::temp_directory_path() /
      ("nox_table_bench_" + std::to_string(::getpid()) + "_" + std::to_string(count) + ".dbf");
  if (fs::exists(path)) return path;
  TTable table;
  table.SetTableName(path.string());
  table.FieldDefs() = {{"CODE", FieldType::Integer, 0, false, 'N', 9, 0},
                       {"NAME", FieldType::String, 20},
                       {"AMOUNT", FieldType::Float, 0, false, 'N', 12, 2}};
  table.CreateTable();
  table.Open();
  for (std::int64_t i = 0; i < count; ++i) {
    table.Append();
    table.Fields(0).SetValue(Value::Integer((i * 7919) % count));
    table.Fields(1).SetValue(Value::Text("name " + std::to_string(i % 1000)));
    table.Fields(2).SetValue(Value::Float(static_cast<double>(i) / 4));
    table.Post();
  }
  return path;
}

void BM_ScanFieldByField(benchmark::State& state) {
  TTable table;
  table.SetTableName(SampleTable(state.range(0)).string());
  table.Open();
  for (auto _ : state) {
    std::size_t bytes = 0;
    for (table.First(); !table.Eof(); table.Next()) {
      for (int i = 0; i < table.FieldCount(); ++i) {
        const Value& value = table.Fields(i).GetValue();
        bytes += value.kind() == Value::Kind::Text ? value.text().size() : 1;
      }
    }
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ScanFieldByField)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_FilteredCount(benchmark::State& state) {
  TTable table;
  table.SetTableName(SampleTable(state.range(0)).string());
  table.SetFilter("AMOUNT > 1000");
  table.SetFiltered(true);
  table.Open();
  for (auto _ : state)
    benchmark::DoNotOptimize(table.RecordCount());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FilteredCount)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_FindKeyOnSecondaryOrder(benchmark::State& state) {
  TTable table;
  table.SetTableName(SampleTable(state.range(0)).string());
  table.SetIndexFieldNames("CODE");
  table.Open();
  std::int64_t key = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(table.FindKey({Value::Integer(key)}));
    key = (key + 104729) % state.range(0);
  }
}
BENCHMARK(BM_FindKeyOnSecondaryOrder)->Arg(100000);

}  // namespace

BENCHMARK_MAIN();

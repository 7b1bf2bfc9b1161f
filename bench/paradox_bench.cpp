// Keyed Paradox tables: appending records whose keys arrive in random order, then reading the
// whole table back in key order. Reports records per second and the peak resident memory, which
// may hold the key index but not the records.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "tables/storage.h"

namespace {

using namespace nox::tables;

constexpr std::int64_t kRecords = 1000000;

std::filesystem::path BenchPath() {
  return std::filesystem::temp_directory_path() /
         ("nox_paradox_bench_" + std::to_string(getpid())) / "KEYED.DB";
}

std::vector<FieldDef> Fields() {
  FieldDef key{"Id", FieldType::Integer};
  FieldDef name{"Name", FieldType::String, 20};
  FieldDef amount{"Amount", FieldType::Currency};
  return {key, name, amount};
}

double PeakMemoryMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

std::vector<std::int64_t> ShuffledKeys() {
  std::vector<std::int64_t> keys(kRecords);
  std::iota(keys.begin(), keys.end(), 0);
  std::shuffle(keys.begin(), keys.end(), std::mt19937_64(1));
  return keys;
}

void BM_KeyedRandomAppend(benchmark::State& state) {
  const auto path = BenchPath();
  std::filesystem::create_directories(path.parent_path());
  const auto keys = ShuffledKeys();
  for (auto _ : state) {
    auto table = CreateParadoxStorage(path, Fields(), {{"", "Id", ixPrimary}});
    Record record{Value::Null(), Value::Text("customer name"), Value::Currency(12.5)};
    for (std::int64_t key : keys) {
      record[0] = Value::Integer(key);
      table->appendRecord(record);
    }
    table->flush();
  }
  state.SetItemsProcessed(state.iterations() * kRecords);
  state.counters["peak_MiB"] = PeakMemoryMiB();
}
BENCHMARK(BM_KeyedRandomAppend)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_KeyedReadInKeyOrder(benchmark::State& state) {
  const auto path = BenchPath();
  if (!std::filesystem::exists(path)) {
    state.SkipWithError("run BM_KeyedRandomAppend first");
    return;
  }
  auto table = OpenParadoxStorage(path, OpenMode::Shared);
  Record record;
  for (auto _ : state) {
    std::int64_t previous = -1;
    for (std::size_t i = 0; i < table->recordCount(); ++i) {
      table->readRecord(i, record);
      if (record[0].integer() <= previous) state.SkipWithError("records out of key order");
      previous = record[0].integer();
    }
    benchmark::DoNotOptimize(previous);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(table->recordCount()));
  state.counters["peak_MiB"] = PeakMemoryMiB();
  table.reset();
  std::filesystem::remove_all(path.parent_path());
}
BENCHMARK(BM_KeyedReadInKeyOrder)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();

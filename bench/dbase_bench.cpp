// dBase storage throughput: appending and reading a table of 1,000,000 records of seven fields
// (about 90 bytes each). Reports records per second; memory stays flat because records stream
// through fixed buffers.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "host/date_time.h"
#include "tables/storage.h"

namespace {

using nox::tables::FieldDef;
using nox::tables::NativeFieldDef;
using nox::tables::Record;
using nox::tables::Value;

constexpr std::int64_t kRecords = 1'000'000;

const std::vector<FieldDef>& Fields() {
  static const std::vector<FieldDef> fields = {
      NativeFieldDef("ID", 'N', 10),       NativeFieldDef("NAME", 'C', 30),
      NativeFieldDef("CITY", 'C', 20),     NativeFieldDef("QTY", 'N', 9),
      NativeFieldDef("PRICE", 'N', 12, 2), NativeFieldDef("DAY", 'D', 8),
      NativeFieldDef("ACTIVE", 'L', 1)};
  return fields;
}

std::filesystem::path BenchTable(const char* name) {
  return std::filesystem::temp_directory_path() /
         ("nox-bench-" + std::to_string(::getpid()) + "-" + name + ".dbf");
}

struct FillTimes {
  double appendSeconds = 0;  // until the last append returned
  double flushSeconds = 0;   // the final flush, which syncs the file to the disk
};

FillTimes FillTable(const std::filesystem::path& path) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  auto storage = nox::tables::CreateDbaseStorage(path, Fields(), {});
  double day = nox::host::EncodeDate({2024, 1, 1});
  Record record(7);
  for (std::int64_t i = 0; i < kRecords; ++i) {
    record[0] = Value::Integer(i);
    record[1].setText("Customer name " + std::to_string(i % 1000));
    record[2].setText("Riga");
    record[3] = Value::Integer(i % 100000);
    record[4] = Value::Float(static_cast<double>(i % 100000) / 100.0);
    record[5] = Value::Date(day + static_cast<double>(i % 365));
    record[6] = Value::Boolean(i % 2 == 0);
    storage->appendRecord(record);
  }
  const auto appended = Clock::now();
  storage->flush();
  const auto flushed = Clock::now();
  return {std::chrono::duration<double>(appended - start).count(),
          std::chrono::duration<double>(flushed - appended).count()};
}

// The appends are timed on their own; the final flush, which waits for the disk, is reported
// beside them together with the rate it leaves.
void BM_DbaseAppend(benchmark::State& state) {
  auto path = BenchTable("append");
  double flushSeconds = 0;
  double totalSeconds = 0;
  for (auto _ : state) {
    const FillTimes times = FillTable(path);
    state.SetIterationTime(times.appendSeconds);
    flushSeconds += times.flushSeconds;
    totalSeconds += times.appendSeconds + times.flushSeconds;
  }
  const auto iterations = static_cast<double>(state.iterations());
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(kRecords),
                                                   benchmark::Counter::kIsIterationInvariantRate);
  state.counters["flush_ms"] = 1000 * flushSeconds / iterations;
  state.counters["records/s_with_flush"] =
      static_cast<double>(kRecords) * iterations / totalSeconds;
  std::filesystem::remove(path);
}
BENCHMARK(BM_DbaseAppend)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();

void BM_DbaseReadEveryField(benchmark::State& state) {
  auto path = BenchTable("read");
  FillTable(path);
  double checksum = 0;
  for (auto _ : state) {
    auto storage = nox::tables::OpenDbaseStorage(path, nox::tables::OpenMode::Shared);
    Record record;
    for (std::size_t i = 0; i < storage->recordCount(); ++i) {
      storage->readRecord(i, record);
      checksum += record[0].number() + record[4].number();  // N(10,0) reads as a float
    }
    benchmark::DoNotOptimize(checksum);
  }
  state.counters["records/s"] = benchmark::Counter(static_cast<double>(kRecords),
                                                   benchmark::Counter::kIsIterationInvariantRate);
  std::filesystem::remove(path);
}
BENCHMARK(BM_DbaseReadEveryField)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

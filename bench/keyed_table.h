#pragma once
// The large keyed Paradox table the lookup list's and the table window's benchmarks show: right-
// aligned codes 1 to RECORDS as its key, three more fields. Generated once per size into a
// directory both benchmarks use, and the memory and time measures they report.

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tables/table.h"

namespace nox::bench {

using Clock = std::chrono::steady_clock;

// Where the tables are kept between runs, unless a benchmark is told another directory.
inline constexpr const char* kKeyedTableDirectory = "/tmp/nox_lookup_bench";

inline double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A code as the table stores it: right-aligned in its eight characters.
inline std::string Code(std::size_t number) {
  std::string digits = std::to_string(number);
  return std::string(8 - digits.size(), ' ') + digits;
}

// VmRSS or VmHWM of this process, in KiB.
inline long StatusKiB(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(line.find(':') + 1));
  }
  return -1;
}

// Resets the peak resident set to what the process holds now and returns that, in KiB: the peak
// read later is what the work after this call took.
inline long ResetPeakKiB() {
  std::ofstream("/proc/self/clear_refs") << "5";
  return StatusKiB("VmRSS:");
}

inline std::string KeyedTableName(std::size_t records) {
  return "LOOK" + std::to_string(records) + ".DB";
}

inline void DefineKeyedTable(tables::TTable& table, const std::filesystem::path& dir,
                             std::size_t records) {
  table.SetDatabaseName(dir.string());
  table.SetTableName(KeyedTableName(records));
  table.FieldDefs() = {{"CODE", tables::FieldType::String, 8, true},
                       {"NAME", tables::FieldType::String, 24},
                       {"CITY", tables::FieldType::String, 12},
                       {"QTY", tables::FieldType::Integer}};
  table.IndexDefs() = {{"", "CODE", tables::ixPrimary | tables::ixUnique}};
}

// Makes the table of RECORDS records in DIR, unless one of that size is there already.
inline void GenerateKeyedTable(const std::filesystem::path& dir, std::size_t records) {
  std::filesystem::create_directories(dir);
  tables::TTable table;
  DefineKeyedTable(table, dir, records);
  if (std::filesystem::exists(table.FilePath())) {
    table.Open();
    if (table.QuickRecordCount() == records) return;
    table.Close();
  }
  const Clock::time_point start = Clock::now();
  table.CreateTable();
  table.Open();
  for (std::size_t i = 1; i <= records; ++i) {
    table.Append();
    table.Fields(0).SetValue(tables::Value::Text(Code(i)));
    table.Fields(1).SetValue(tables::Value::Text("Client " + std::to_string(i)));
    table.Fields(2).SetValue(tables::Value::Text(i % 2 ? "Riga" : "Ventspils"));
    table.Fields(3).SetValue(tables::Value::Integer(static_cast<std::int64_t>(i % 1000)));
    table.Post();
  }
  table.Close();
  std::printf("generated %zu records in %.1f s\n", records, Seconds(start));
}

// What the benchmarks of a list on the table measure, and their line of output.
struct ListFigures {
  std::size_t records = 0;
  double open = 0;  // seconds to open the table and show it
  double last = 0;  // seconds to jump to the last record
  std::string lastCode;
  std::string wanted;  // the code typed
  double search = 0;   // seconds to find it
  std::string found;
  long baselineKiB = 0;  // from ResetPeakKiB before the table was opened
};

// Prints the figures with the peak memory since the baseline.
inline void PrintFigures(const ListFigures& figures) {
  const long peak = StatusKiB("VmHWM:");
  std::printf(
      "records %zu: open and show %.3f s, last record %.3f s (%s), search '%s' %.3f s"
      " (found '%s'), memory above the start %.1f MiB (peak %.1f MiB)\n",
      figures.records, figures.open, figures.last, figures.lastCode.c_str(), figures.wanted.c_str(),
      figures.search, figures.found.c_str(), (peak - figures.baselineKiB) / 1024.0, peak / 1024.0);
}

}  // namespace nox::bench

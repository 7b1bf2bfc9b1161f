// The lookup list on a large keyed Paradox table, on the offscreen platform: the time to open the
// table and show it in a TNoxLookList, to jump to the last record, and to find a key by typing it
// (incremental search on right-aligned codes), and the memory these take above what the program
// held before (peak resident set, reset after the table was generated). Aims: under 0.2 s each,
// memory that does not grow with the record count (run it with two sizes to see).
//
//   lookup_list_bench [RECORDS [DIRECTORY]]   defaults 1000000 and /tmp/nox_lookup_bench; the
//                                             table is generated once per size and kept there

#include <QApplication>
#include <QKeyEvent>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "controls/look_list.h"

namespace {

using Clock = std::chrono::steady_clock;
using nox::tables::TTable;
using nox::tables::Value;

std::string Code(std::size_t number) {
  std::string digits = std::to_string(number);
  return std::string(8 - digits.size(), ' ') + digits;  // stored right-aligned
}

// VmRSS or VmHWM of this process, in KiB.
long StatusKiB(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(line.find(':') + 1));
  }
  return -1;
}

void Define(TTable& table, const std::filesystem::path& dir, std::size_t records) {
  table.SetDatabaseName(dir.string());
  table.SetTableName("LOOK" + std::to_string(records) + ".DB");
  table.FieldDefs() = {{"CODE", nox::tables::FieldType::String, 8, true},
                       {"NAME", nox::tables::FieldType::String, 24},
                       {"CITY", nox::tables::FieldType::String, 12},
                       {"QTY", nox::tables::FieldType::Integer}};
  table.IndexDefs() = {{"", "CODE", nox::tables::ixPrimary | nox::tables::ixUnique}};
}

void Generate(const std::filesystem::path& dir, std::size_t records) {
  TTable table;
  Define(table, dir, records);
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
    table.Fields(0).SetValue(Value::Text(Code(i)));
    table.Fields(1).SetValue(Value::Text("Client " + std::to_string(i)));
    table.Fields(2).SetValue(Value::Text(i % 2 ? "Riga" : "Ventspils"));
    table.Fields(3).SetValue(Value::Integer(static_cast<std::int64_t>(i % 1000)));
    table.Post();
  }
  table.Close();
  std::printf("generated %zu records in %.1f s\n", records,
              std::chrono::duration<double>(Clock::now() - start).count());
}

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const std::size_t records = argc > 1 ? std::stoul(argv[1]) : 1000000;
  const std::filesystem::path dir = argc > 2 ? argv[2] : "/tmp/nox_lookup_bench";
  QApplication application(argc, argv);
  std::filesystem::create_directories(dir);
  Generate(dir, records);

  // The peak from here on is what the list takes.
  std::ofstream("/proc/self/clear_refs") << "5";
  const long baseline = StatusKiB("VmRSS:");

  Clock::time_point start = Clock::now();
  TTable table;
  Define(table, dir, records);
  table.Open();
  nox::controls::TNoxDataSource source;
  source.SetDataSet(&table);
  nox::controls::TNoxLookList list;
  list.SetDataSource(&source);
  list.resize(640, 480);
  list.show();
  QApplication::processEvents();
  const double open = Seconds(start);

  start = Clock::now();
  source.Last();
  QApplication::processEvents();
  const double last = Seconds(start);
  const std::string lastCode = table.Fields(0).AsString();

  const std::string wanted = std::to_string(records / 2 + 1);
  start = Clock::now();
  list.setFocus();
  list.PrepareSearch();
  for (const char digit : wanted) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + (digit - '0'), Qt::NoModifier,
                    QString(QChar(digit)));
    QApplication::sendEvent(&list, &press);
  }
  QApplication::processEvents();
  const double search = Seconds(start);
  const std::string found = table.Fields(0).AsString();

  const long peak = StatusKiB("VmHWM:");
  std::printf(
      "records %zu: open and show %.3f s, last record %.3f s (%s), search '%s' %.3f s"
      " (found '%s'), memory above the start %.1f MiB (peak %.1f MiB)\n",
      records, open, last, lastCode.c_str(), wanted.c_str(), search, found.c_str(),
      (peak - baseline) / 1024.0, peak / 1024.0);
  return found == Code(records / 2 + 1) && lastCode == Code(records) ? 0 : 1;
}

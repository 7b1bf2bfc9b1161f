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
#include <cstdio>
#include <filesystem>
#include <string>

#include "bench/keyed_table.h"
#include "controls/look_list.h"

namespace {

using nox::bench::Clock;
using nox::bench::Code;
using nox::bench::Seconds;
using nox::tables::TTable;

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  const std::size_t records = argc > 1 ? std::stoul(argv[1]) : 1000000;
  const std::filesystem::path dir = argc > 2 ? argv[2] : nox::bench::kKeyedTableDirectory;
  QApplication application(argc, argv);
  nox::bench::GenerateKeyedTable(dir, records);

  // The peak from here on is what the list takes.
  nox::bench::ListFigures figures;
  figures.records = records;
  figures.baselineKiB = nox::bench::ResetPeakKiB();

  Clock::time_point start = Clock::now();
  TTable table;
  nox::bench::DefineKeyedTable(table, dir, records);
  table.Open();
  nox::controls::TNoxDataSource source;
  source.SetDataSet(&table);
  nox::controls::TNoxLookList list;
  list.SetDataSource(&source);
  list.resize(640, 480);
  list.show();
  QApplication::processEvents();
  figures.open = Seconds(start);

  start = Clock::now();
  source.Last();
  QApplication::processEvents();
  figures.last = Seconds(start);
  figures.lastCode = table.Fields(0).AsString();

  figures.wanted = std::to_string(records / 2 + 1);
  start = Clock::now();
  list.setFocus();
  list.PrepareSearch();
  for (const char digit : figures.wanted) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + (digit - '0'), Qt::NoModifier,
                    QString(QChar(digit)));
    QApplication::sendEvent(&list, &press);
  }
  QApplication::processEvents();
  figures.search = Seconds(start);
  figures.found = table.Fields(0).AsString();

  nox::bench::PrintFigures(figures);
  return figures.found == Code(records / 2 + 1) && figures.lastCode == Code(records) ? 0 : 1;
}

// The table window of noxconvert on a large keyed Paradox table, on the offscreen platform: the
// time to open the table in the window and show it (as the main window opens one), to jump to the
// last record with Ctrl+End, and to find a key near the end by typing it into the record list,
// and the memory the window takes above what the program held before (peak resident set, reset
// after the table was generated and a first window was shown, as the main window is in the
// program). Aims: under 0.2 s each, memory that does not grow with the record count (run it with
// two sizes to see).
//
//   form_table_bench [RECORDS [DIRECTORY]]    defaults 1000000 and the lookup list benchmark's
//                                             directory; the table is generated once per size
//                                             and kept there, the windows' settings and the
//                                             user's filter list beside it

#include <QApplication>
#include <QKeyEvent>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "bench/keyed_table.h"
#include "controls/db_edit.h"
#include "controls/look_list.h"
#include "desktop/form_table.h"
#include "forms/application.h"
#include "forms/modal.h"

namespace {

using nox::bench::Clock;
using nox::bench::Code;
using nox::bench::Seconds;
using nox::forms::CreateForm;
using nox::forms::TFormTable;

void Press(QWidget& widget, int key, Qt::KeyboardModifiers modifiers, const QString& text = {}) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
  QApplication::sendEvent(&widget, &press);
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  if (argc > 3) {
    std::cerr << "Usage: form_table_bench [RECORDS [DIRECTORY]]\n";
    return 2;
  }
  const std::size_t records = argc > 1 ? std::stoul(argv[1]) : 1000000;
  const std::filesystem::path dir =
      std::filesystem::absolute(argc > 2 ? argv[2] : nox::bench::kKeyedTableDirectory);
  // The window keeps the user's filters in the user's data folder: here, beside the tables.
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString((dir / "data").string()));
  nox::forms::NoxApplication application(argc, argv);
  // A message would wait for a user who is not there: close it and fail the benchmark.
  bool dialogShown = false;
  nox::forms::ScopedDialogTestHook answer([&](QDialog& dialog) -> QAbstractButton* {
    std::cerr << "form_table_bench: a dialog was shown: " << dialog.windowTitle().toStdString()
              << "\n";
    dialogShown = true;
    return nullptr;
  });
  nox::bench::GenerateKeyedTable(dir, records);
  // The windows keep their settings in the current directory: there too.
  std::filesystem::current_path(dir);

  // In the program the main window is up when a table window opens: the window system, the
  // fonts and the shared window state are ready.
  {
    const nox::forms::FormPtr<TFormTable> first = CreateForm<TFormTable>();
    first->show();
    QApplication::processEvents();
  }
  QApplication::processEvents();

  // The peak from here on is what the window on the table takes.
  nox::bench::ListFigures figures;
  figures.records = records;
  figures.baselineKiB = nox::bench::ResetPeakKiB();

  Clock::time_point start = Clock::now();
  const nox::forms::FormPtr<TFormTable> form = CreateForm<TFormTable>();
  if (!form->OpenTable(dir.string(), nox::bench::KeyedTableName(records))) return 1;
  form->show();
  QApplication::processEvents();
  figures.open = Seconds(start);

  auto* list = form->findChild<nox::controls::TNoxLookList*>(QStringLiteral("LLRecords"));
  const nox::tables::TField& code = form->Table().FieldByName("CODE");
  list->setFocus();

  start = Clock::now();
  Press(*list, Qt::Key_End, Qt::ControlModifier);
  QApplication::processEvents();
  figures.last = Seconds(start);
  figures.lastCode = code.AsString();

  const std::size_t wantedNumber = records - records / 100;
  figures.wanted = std::to_string(wantedNumber);
  start = Clock::now();
  list->PrepareSearch();  // as when the list takes the focus
  for (const char digit : figures.wanted)
    Press(*list, Qt::Key_0 + (digit - '0'), Qt::NoModifier, QString(QChar(digit)));
  QApplication::processEvents();
  figures.search = Seconds(start);
  figures.found = code.AsString();
  // The window shows the record found in its field edits too.
  const bool shown = form->FieldEdit("CODE")->text().toStdString() == figures.found;

  nox::bench::PrintFigures(figures);
  const bool right =
      shown && figures.found == Code(wantedNumber) && figures.lastCode == Code(records);
  return right && !dialogShown ? 0 : 1;
}

// Draws the desktop program's main windows on the bundled example and saves pictures of them for
// the documentation: the main window, the field settings editor over it, the formula editor, the
// options dialog, the conversion window after a run, the table window on the target and the
// calculator. It drives the real windows
// through the same handlers the user's clicks call; modal dialogs are pictured and then cancelled
// through the dialog hook. Each picture is taken from the screen, so that under a window manager it
// shows the window's frame and title bar as a user sees them. The windows are translated as the
// program's are, in the languages that Params.ini of the current directory chooses.
//
// Usage: noxscreenshots OUTPUT_DIRECTORY DESCRIPTION [MAIN_WINDOW_PICTURE]
//   (run in the description's directory); with a picture name only the main window is pictured,
//   into that file.
//        noxscreenshots OUTPUT_DIRECTORY --gallery PICTURE
//   the control gallery on a working copy of the example in the current directory, with the
//   lookup combo open and a client code typed into it.

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>
#include <cstdio>
#include <string>

#include "calc/form_calcul.h"
#include "controls/data_source.h"
#include "controls/lookup_combo.h"
#include "desktop/form_convert.h"
#include "desktop/form_table.h"
#include "desktop/main_form.h"
#include "examples/gallery/example_copy.h"
#include "examples/gallery/form_controls.h"
#include "forms/application.h"
#include "forms/form_settings.h"
#include "forms/modal.h"
#include "forms/nox_form.h"
#include "forms/translation.h"

namespace {

using namespace nox::forms;

// Lets the window system lay out and paint what was just shown.
void Settle() {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < 300)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

// Waits, for at most ten seconds, until the condition holds.
template <typename Condition>
void WaitFor(Condition condition) {
  QElapsedTimer timer;
  timer.start();
  while (!condition() && timer.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

// Pictures the window, together with the one behind it when given.
bool Save(QWidget& window, const QDir& output, const QString& name,
          const QWidget* behind = nullptr) {
  window.raise();
  window.activateWindow();
  // On a busy machine the window manager may take a while to map and frame the window.
  WaitFor([&] { return window.windowHandle() != nullptr && window.windowHandle()->isExposed(); });
  WaitFor([&] { return window.frameGeometry() != window.geometry(); });
  if (behind != nullptr) WaitFor([&] { return behind->frameGeometry() != behind->geometry(); });
  Settle();
  const QString path = output.filePath(name);
  QRect frame = window.frameGeometry();
  if (behind != nullptr) frame |= behind->frameGeometry();
  const QPixmap picture =
      window.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
  if (!picture.save(path)) {
    std::fprintf(stderr, "noxscreenshots: cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

// Pictures the next modal dialog, then cancels it.
class PictureDialog {
 public:
  PictureDialog(const QDir& output, QString name)
      : hook_([this, &output, name](QDialog& dialog) -> QAbstractButton* {
          dialog.show();
          saved_ = Save(dialog, output, name);
          dialog.hide();
          return dialog.findChild<QAbstractButton*>(QStringLiteral("BBCancel"));
        }) {}
  bool Saved() const { return saved_; }

 private:
  bool saved_ = false;
  ScopedDialogTestHook hook_;
};

int PictureGallery(const QDir& output, const QString& name) {
  QTemporaryDir work;
  nox::gallery::PrepareWorkingCopy(QDir::currentPath().toStdString(), work.path().toStdString());
  nox::gallery::TGalleryData data(work.path().toStdString());
  auto form = CreateForm<nox::gallery::TFormControls>(data);
  form->show();
  Settle();
  nox::controls::TNoxLookupCombo& lookup = *form->LookupClient();
  lookup.setFocus();
  lookup.DropDown();
  QTest::keyClicks(&lookup, QStringLiteral("10"));
  const bool ok = Save(*form, output, name);
  lookup.CloseUp(false);
  form.reset();
  data.Close();
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  NoxApplication application(argc, argv);
  if (argc == 4 && QString::fromLocal8Bit(argv[2]) == QStringLiteral("--gallery")) {
    try {
      return PictureGallery(QDir(QString::fromLocal8Bit(argv[1])), QString::fromLocal8Bit(argv[3]));
    } catch (const std::exception& error) {
      std::fprintf(stderr, "noxscreenshots: %s\n", error.what());
      return 1;
    }
  }
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr,
                 "usage: noxscreenshots OUTPUT_DIRECTORY DESCRIPTION [MAIN_WINDOW_PICTURE]\n");
    return 2;
  }
  InstallTranslation(QCoreApplication::applicationFilePath().toStdString());
  const QDir output(QString::fromLocal8Bit(argv[1]));
  MainFormStart start;
  start.arguments = {argv[2]};
  start.busyWait = false;
  auto mainForm = CreateForm<TMainForm>(start);
  mainForm->show();
  Settle();
  if (!mainForm->Workspace().LoadOk) {
    std::fprintf(stderr, "noxscreenshots: the description %s does not load\n", argv[2]);
    return 1;
  }

  // A formula relation selected, so that the editor has something to show.
  const auto& relations = mainForm->Workspace().SGRelat;
  for (int row = 0; row < relations.RelationCount(); ++row) {
    if (relations.rows[static_cast<std::size_t>(row)].IsFormula()) {
      mainForm->SGRelatClick(row);
      break;
    }
  }
  if (argc == 4) return Save(*mainForm, output, QString::fromLocal8Bit(argv[3])) ? 0 : 1;
  bool ok = Save(*mainForm, output, QStringLiteral("main-window.png"));
  {
    // Ctrl+S: the field settings editor just below the filter field of the main window, with the
    // filter's row current, so that the field and its label are painted yellow.
    bool saved = false;
    const ScopedDialogTestHook hook([&](QDialog& dialog) -> QAbstractButton* {
      auto& editor = static_cast<TFormSettings&>(dialog);
      editor.resize(640, 240);
      editor.show();
      const QWidget* filter = mainForm->findChild<QWidget*>(QStringLiteral("EditFilter"));
      const QPoint below = filter->mapToGlobal(QPoint(0, filter->height() + 12));
      editor.move(mainForm->frameGeometry().left() + 40, below.y());
      for (int row = 0; row < static_cast<int>(editor.Rows().size()); ++row) {
        if (editor.Rows()[static_cast<std::size_t>(row)].recv == "EditFilter") {
          editor.SetCurrentRow(row);
        }
      }
      saved = Save(editor, output, QStringLiteral("field-settings.png"), mainForm.get());
      return editor.findChild<QAbstractButton*>(QStringLiteral("BtnClose"));
    });
    OpenFieldSettings(*mainForm);
    ok = ok && saved;
  }
  {
    PictureDialog editor(output, QStringLiteral("formula-editor.png"));
    mainForm->BBFunctionClick();
    ok = ok && editor.Saved();
  }
  {
    PictureDialog options(output, QStringLiteral("options-dialog.png"));
    mainForm->ConvertationOptionsClick();
    ok = ok && options.Saved();
  }

  mainForm->ConvertClick();
  TFormConvert& formConvert = mainForm->FormConvert();
  formConvert.BBConvertClick();
  while (formConvert.Run() != nullptr && formConvert.Run()->IsRunning())
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  ok = ok && Save(formConvert, output, QStringLiteral("conversion-window.png"));
  formConvert.hide();

  // The target in the table window, its third record current.
  mainForm->TargetTableClick();
  if (mainForm->TableForms().empty()) return 1;
  TFormTable& table = *mainForm->TableForms().front();
  table.DataSource().MoveTo(2);
  ok = Save(table, output, QStringLiteral("table-window.png")) && ok;
  table.close();

  // The calculator as opened from a field holding 100: stored in memory, then 1250 * 0.08 typed.
  auto calculator = CreateForm<nox::calc::TFormCalcul>();
  calculator->Begin(" 100.", true);
  for (const char* button :
       {"BtnMS", "Btn1", "Btn2", "Btn5", "Btn0", "BtnMult", "Btn0", "BtnPoint", "Btn0", "Btn8"}) {
    calculator->findChild<QPushButton*>(QString::fromLatin1(button))->click();
  }
  calculator->show();
  ok = Save(*calculator, output, QStringLiteral("calculator.png")) && ok;
  return ok ? 0 : 1;
}

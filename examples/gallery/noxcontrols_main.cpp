// noxcontrols: the control gallery. Copies the bundled example into a temporary working directory,
// converts it there and shows every control of the component library on its tables. The copy goes
// when the window closes; the shipped example never changes.

#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>

#include "examples/gallery/example_copy.h"
#include "examples/gallery/form_controls.h"
#include "forms/application.h"
#include "forms/message_dialog.h"
#include "forms/message_sink.h"

int main(int argc, char** argv) {
  using namespace nox;
  forms::NoxApplication application(argc, argv);
  forms::SetApplicationTitle(QStringLiteral("NOX Controls"));
  forms::ScopedDialogMessages messages;

  const std::filesystem::path program = QCoreApplication::applicationFilePath().toStdString();
  const std::optional<std::filesystem::path> example = gallery::FindExampleDirectory(program);
  if (!example) {
    std::fprintf(stderr,
                 "noxcontrols: the example tables (ORDERS.DB, CUSTOMER.DBF, ...) are neither in "
                 "the current directory, nor beside the program, nor in %s\n",
                 qPrintable(QDir::cleanPath(QString::fromStdString(
                     (program.parent_path() / ".." / "share" / "nox" / "examples").string()))));
    return 1;
  }
  QTemporaryDir work(QDir::tempPath() + QStringLiteral("/noxcontrols-XXXXXX"));
  if (!work.isValid()) {
    std::fprintf(stderr, "noxcontrols: cannot create a working directory: %s\n",
                 qPrintable(work.errorString()));
    return 1;
  }
  std::optional<gallery::TGalleryData> data;
  try {
    gallery::PrepareWorkingCopy(*example, work.path().toStdString());
    data.emplace(work.path().toStdString());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "noxcontrols: %s\n", error.what());
    return 1;
  }

  int status = 0;
  {
    auto form = forms::CreateForm<gallery::TFormControls>(*data);
    form->show();
    status = QApplication::exec();
  }
  // Whatever the user stored is on disk before the copy goes (and a failure is told).
  if (!forms::RunReported([&data] { data->Close(); })) status = 1;
  return status;
}

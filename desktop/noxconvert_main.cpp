// noxconvert: the desktop program. Shows the splash, builds the main window (which builds the
// conversion window and reads the command line) and runs until the main window closes.

#include <QDialog>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "calc/open_calculator.h"
#include "convert/workspace.h"
#include "desktop/form_about.h"
#include "desktop/main_form.h"
#include "forms/application.h"
#include "forms/form_settings.h"
#include "forms/message_dialog.h"
#include "forms/message_sink.h"
#include "forms/text.h"
#include "forms/translation.h"

int main(int argc, char** argv) {
  using namespace nox::forms;
  NoxApplication application(argc, argv);  // takes the toolkit's own options out of argv
  // The title the main window's task-bar entry and the messages start with. Not Qt's application
  // display name: Qt would append that to every window's title bar.
  SetApplicationTitle(FromDataText(nox::convert::workspace_messages::kProgramCaption));
  application.setWindowIcon(ProgramIcon());
  // The program ends when the main window closes, not when its last window happens to hide.
  application.setQuitOnLastWindowClosed(false);
  MainFormStart start;
  // Paths are passed on as the command line spells them.
  start.arguments.assign(argv + 1, argv + argc);
  // Messages of the first windows too (the splash fills the language table) show as dialogs,
  // except in an automatic run: nobody is there to close one, so they go to standard error.
  std::optional<ScopedDialogMessages> messages;
  if (!AutomaticRunArguments(start.arguments)) messages.emplace();
  nox::calc::InstallCalculator();  // Ctrl+K on every window
  // Every window is translated at its creation, from the language table this program names.
  InstallTranslation(QCoreApplication::applicationFilePath().toStdString());
  InstallFieldSettingsEditor();  // Ctrl+S on every window

  auto splash = CreateForm<TFormPres>();
  splash->show();
  splash->repaint();
  QApplication::processEvents();

  start.closeSplash = [&splash] { splash.reset(); };
  const bool noArguments = start.arguments.empty();
  auto mainForm = CreateForm<TMainForm>(std::move(start));
  if (noArguments) splash.reset();

  QObject::connect(mainForm.get(), &QDialog::finished, &application, &QApplication::quit);
  mainForm->show();
  int status = QApplication::exec();
  if (status == 0) status = mainForm->ExitStatus();
  mainForm.reset();
  return status;
}

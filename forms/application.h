#pragma once
// The application's general error report: an error that reaches the event loop is shown as an
// error message with its text, and the program goes on.

#include <QApplication>
#include <exception>

namespace nox::forms {

// Shows the error's text (single-byte Windows-1257, as the core raises it) as an error message:
// in a dialog with OK and the application title while dialog messages are installed.
void ShowException(const std::exception& error);
// Reports the exception being handled; call only inside a catch block.
void ReportCurrentException();

// Runs a handler; an error it raises goes to the general error report and the program goes on.
// False after an error.
template <typename Handler>
bool RunReported(Handler&& handler) {
  try {
    handler();
    return true;
  } catch (...) {
    ReportCurrentException();
    return false;
  }
}

// The application object of the desktop program: errors escaping an event handler are reported
// instead of ending the program.
class NoxApplication : public QApplication {
  Q_OBJECT

 public:
  NoxApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace nox::forms

#include "forms/application.h"

#include <stdexcept>

#include "host/messages.h"

namespace nox::forms {

void ShowException(const std::exception& error) {
  host::ShowMessage(host::MessageKind::Error, error.what());
}

void ReportCurrentException() {
  try {
    throw;
  } catch (const std::exception& error) {
    ShowException(error);
  } catch (...) {
    ShowException(std::runtime_error("Unknown error"));
  }
}

NoxApplication::NoxApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool NoxApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ReportCurrentException();
    return false;
  }
}

}  // namespace nox::forms

#include "forms/application.h"

#include <stdexcept>

#include "forms/message_dialog.h"
#include "forms/text.h"

namespace nox::forms {

void ShowException(const std::exception& error) {
  NoxMessageDlg(FromDataText(error.what()), QString(), MsgDlgType::Error, 0, kButtonsOk);
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

#include "forms/modal.h"

#include <QApplication>
#include <QTimer>
#include <stdexcept>
#include <utility>

namespace nox::forms {
namespace {

NoxDialogTestHook& InstalledHook() {
  static NoxDialogTestHook hook;
  return hook;
}

}  // namespace

ScopedDialogTestHook::ScopedDialogTestHook(NoxDialogTestHook hook)
    : previous_(std::exchange(InstalledHook(), std::move(hook))) {}

ScopedDialogTestHook::~ScopedDialogTestHook() {
  InstalledHook() = std::move(previous_);
}

QWidget* FrontWindow(const QWidget* except) {
  const auto usable = [except](QWidget* window) {
    return window != nullptr && window != except && window->isVisible() &&
           (window->windowType() == Qt::Window || window->windowType() == Qt::Dialog);
  };
  if (QWidget* modal = QApplication::activeModalWidget(); usable(modal)) return modal;
  if (QWidget* active = QApplication::activeWindow(); usable(active)) return active;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (usable(window)) return window;
  }
  return nullptr;
}

void PutInFront(QDialog& dialog) {
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->windowType() == Qt::SplashScreen && window->isVisible()) window->hide();
  }
  QWidget* front = FrontWindow(&dialog);
  if (front == nullptr || front == dialog.parentWidget()) return;
  dialog.setParent(front, dialog.windowFlags());
  // A window kept on top (the new-conversion dialog) would still cover its own message.
  if (front->windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint);
  }
}

int RunModal(QDialog& dialog) {
  const NoxDialogTestHook& hook = InstalledHook();
  if (!hook) {
    // Window managers may map a new window behind the one that has the focus.
    QTimer::singleShot(0, &dialog, [&dialog] {
      dialog.raise();
      dialog.activateWindow();
    });
    return dialog.exec();
  }
  // A button that closes nothing (Help) leaves the result as it was: start from "none".
  dialog.setResult(0);
  if (QAbstractButton* button = hook(dialog)) {
    // A user cannot press what the dialog does not offer.
    if (button->isHidden() || !button->isEnabled()) {
      throw std::logic_error("dialog test hook pressed a hidden or disabled button: " +
                             button->objectName().toStdString());
    }
    button->click();
  } else {
    dialog.reject();
  }
  return dialog.result();
}

}  // namespace nox::forms

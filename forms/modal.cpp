#include "forms/modal.h"

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

int RunModal(QDialog& dialog) {
  const NoxDialogTestHook& hook = InstalledHook();
  if (!hook) return dialog.exec();
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

#pragma once
// Every modal window of the program runs through RunModal, so that tests can answer a dialog
// without an event loop: a hook installed for the test picks the button to press.

#include <QAbstractButton>
#include <QDialog>
#include <functional>

namespace nox::forms {

// Given the dialog, fully built and not shown, gives the button to press; null stands for the
// window's close box. Used only while installed.
using NoxDialogTestHook = std::function<QAbstractButton*(QDialog& dialog)>;

// Installs the hook for the life of this object (one at a time; the previous one comes back).
class ScopedDialogTestHook {
 public:
  explicit ScopedDialogTestHook(NoxDialogTestHook hook);
  ~ScopedDialogTestHook();
  ScopedDialogTestHook(const ScopedDialogTestHook&) = delete;
  ScopedDialogTestHook& operator=(const ScopedDialogTestHook&) = delete;

 private:
  NoxDialogTestHook previous_;
};

// The window the user is looking at, other than `except`: the modal dialog in front, else the
// active window, else a visible top-level window; never a splash. Null when there is none.
QWidget* FrontWindow(const QWidget* except = nullptr);

// Makes a message dialog belong to the window the user is looking at, so that the window manager
// keeps it above that window, and sends any splash away first: a message must never be covered.
void PutInFront(QDialog& dialog);

// Shows the dialog modally, raised and activated, and gives its result. With a test hook installed
// the dialog is not shown: the hook's button is clicked (or the close box used) and the result read
// back.
int RunModal(QDialog& dialog);

}  // namespace nox::forms

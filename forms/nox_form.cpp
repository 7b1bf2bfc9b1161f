#include "forms/nox_form.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTextEdit>

#include "forms/application.h"
#include "forms/form_services.h"

namespace nox::forms {
namespace {

bool IsEnter(int key) {
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

TNoxForm::TNoxForm(QWidget* parent) : QDialog(parent) {
  // Key preview: the window sees every key meant for one of its controls first.
  if (QCoreApplication* application = QCoreApplication::instance()) {
    application->installEventFilter(this);
  }
}

TNoxForm::~TNoxForm() {
  // Windows owned by this one are still whole here: let them run their own destroy handlers.
  for (TNoxForm* child : findChildren<TNoxForm*>())
    child->RunDestroy();
  // Destroyed without FormDeleter or deleteLater: only the base part is left to run.
  if (!destroyed_) {
    destroyed_ = true;
    RunReported([this] { TNoxForm::FormDestroy(); });
  }
}

void TNoxForm::RunCreate() {
  if (created_) return;
  created_ = true;
  RunReported([this] { FormCreate(); });
}

void TNoxForm::RunDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  RunReported([this] { FormDestroy(); });
}

void TNoxForm::FormCreate() {
  enterToTab_ = true;
  if (languageIni_.trimmed().isEmpty()) languageIni_ = QStringLiteral("NoxReStr.Ini");
  ApplyFonts();
  ChangeLanguage();
  ChangeCompFont();
  FormResize();
}

void TNoxForm::FormShow() {
  FormResize();
  ApplyFieldSettings();
}

void TNoxForm::FormResize() {}

void TNoxForm::FormClose(CloseAction& action) {
  CheckRequiredFields(action);
}

void TNoxForm::FormDestroy() {}

void TNoxForm::ShowCalculator() {
  if (const auto& service = InstalledServices().showCalculator) service(*this);
}

void TNoxForm::EditFieldSettings() {
  if (const auto& service = InstalledServices().editFieldSettings) service(*this);
}

void TNoxForm::KeyDown(int& key, Qt::KeyboardModifiers shift) {
  // The commands take their key: the focused control must not see it as well (Ctrl+K in a line
  // edit deletes to the end of the line), nor may a window built meanwhile let it be seen again.
  if (shift == Qt::ControlModifier && key == Qt::Key_K) {
    ShowCalculator();
    key = 0;
  } else if (shift == Qt::ControlModifier && key == Qt::Key_S) {
    EditFieldSettings();
    key = 0;
  }
  if (enterToTab_ && IsEnter(key) && EnterMovesFocus(focusWidget())) {
    if (shift == Qt::ShiftModifier) {
      focusPreviousChild();
    } else {
      focusNextChild();
    }
    enterWasTab_ = true;
  }
}

bool TNoxForm::EnterMovesFocus(const QWidget* focused) const {
  if (focused == nullptr) return false;
  // Controls that use Enter themselves: grids, memos, an open drop-down list.
  if (qobject_cast<const QTableView*>(focused) != nullptr ||
      qobject_cast<const QTextEdit*>(focused) != nullptr ||
      qobject_cast<const QPlainTextEdit*>(focused) != nullptr) {
    return false;
  }
  if (const auto* combo = qobject_cast<const QComboBox*>(focused);
      combo != nullptr && combo->view() != nullptr && combo->view()->isVisible()) {
    return false;
  }
  // A focused button, or the window's default button, answers Enter before the window does.
  if (qobject_cast<const QAbstractButton*>(focused) != nullptr) return false;
  for (const QPushButton* button : findChildren<QPushButton*>()) {
    if (button->isDefault() && button->isVisible() && button->isEnabled()) return false;
  }
  return true;
}

bool TNoxForm::RunClose() {
  CloseAction action = CloseAction::caHide;
  if (!RunReported([&] { FormClose(action); })) return false;
  switch (action) {
    case CloseAction::caNone:
      return false;
    case CloseAction::caMinimize:
      showMinimized();
      return false;
    case CloseAction::caFree:
      deleteLater();
      return true;
    case CloseAction::caHide:
      break;
  }
  return true;
}

void TNoxForm::done(int result) {
  if (!closing_ && !RunClose()) return;
  QDialog::done(result);
}

void TNoxForm::setVisible(bool visible) {
  if (visible) {
    for (QPushButton* button : findChildren<QPushButton*>()) {
      if (!button->isDefault()) button->setAutoDefault(false);
    }
  }
  QDialog::setVisible(visible);
}

void TNoxForm::closeEvent(QCloseEvent* event) {
  if (!RunClose()) {
    event->ignore();
    return;
  }
  // The dialog's own close handling ends in done(), which must not ask FormClose again.
  closing_ = true;
  QDialog::closeEvent(event);
  closing_ = false;
}

void TNoxForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) RunReported([this] { FormShow(); });
}

void TNoxForm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (created_) RunReported([this] { FormResize(); });
}

void TNoxForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    if (cancelButton_ != nullptr) cancelButton_->click();
    event->accept();
    return;
  }
  // Enter already moved the focus: it must not also press the button it landed on.
  if (IsEnter(event->key()) && enterWasTab_) {
    enterWasTab_ = false;
    event->accept();
    return;
  }
  // Enter presses the focused button, whether or not it is the default one.
  if (IsEnter(event->key())) {
    if (auto* button = qobject_cast<QAbstractButton*>(focusWidget());
        button != nullptr && button->isEnabled()) {
      button->click();
      event->accept();
      return;
    }
  }
  QDialog::keyPressEvent(event);
}

bool TNoxForm::event(QEvent* event) {
  if (event->type() == QEvent::DeferredDelete) RunDestroy();
  return QDialog::event(event);
}

bool TNoxForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  // A key travels up from the focused control to its parents: preview it once, at the start.
  const QWidget* focused = QApplication::focusWidget();
  if (widget->window() != this || (focused != nullptr ? widget != focused : widget != this)) {
    return false;
  }
  auto* keyEvent = static_cast<QKeyEvent*>(event);
  enterWasTab_ = false;
  int key = keyEvent->key();
  bool handled = false;
  RunReported([&] {
    KeyDown(key, keyEvent->modifiers() & ~Qt::KeypadModifier);
    handled = key == 0;
  });
  return handled;
}

void FormDeleter::operator()(TNoxForm* form) const {
  form->RunDestroy();
  delete form;
}

}  // namespace nox::forms

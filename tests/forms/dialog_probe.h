#pragma once
// Helpers for the window tests: answer modal dialogs and read what they showed.

#include <QDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <optional>
#include <vector>

#include "forms/modal.h"

namespace nox::forms::testing {

// A window's title as the window manager reads it: Qt's X11 platform appends the application
// display name, when the program has set one, to every top-level window's own title.
inline QString TitleBar(const QWidget& widget) {
  const QString title = widget.window()->windowTitle();
  const QString displayName = QGuiApplication::applicationDisplayName();
  if (displayName == QCoreApplication::applicationName() || title.endsWith(displayName)) {
    return title;
  }
  return title.isEmpty() ? displayName : title + QStringLiteral(" \u2014 ") + displayName;
}

// What a dialog showed when it was answered.
struct ShownDialog {
  QString caption;  // as the title bar shows it
  QString message;
  QImage icon;              // null when the dialog had no picture
  QStringList buttonNames;  // visible push buttons, left to right
  QStringList buttonCaptions;
  QString defaultButton;  // empty when none
  QString focusedButton;  // empty when none
};

inline QList<QPushButton*> VisibleButtonsLeftToRight(QDialog& dialog) {
  QList<QPushButton*> buttons;
  for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
    if (!button->isHidden()) buttons.append(button);
  }
  std::sort(buttons.begin(), buttons.end(),
            [](const QPushButton* a, const QPushButton* b) { return a->x() < b->x(); });
  return buttons;
}

inline ShownDialog Read(QDialog& dialog, const QString& messageLabel) {
  ShownDialog shown;
  shown.caption = TitleBar(dialog);
  if (const auto* label = dialog.findChild<QLabel*>(messageLabel)) shown.message = label->text();
  if (const auto* image = dialog.findChild<QLabel*>(QStringLiteral("Image"))) {
    shown.icon = image->pixmap().toImage();
  }
  for (QPushButton* button : VisibleButtonsLeftToRight(dialog)) {
    shown.buttonNames << button->objectName();
    shown.buttonCaptions << button->text();
    if (button->isDefault()) shown.defaultButton = button->objectName();
    if (dialog.focusWidget() == button) shown.focusedButton = button->objectName();
  }
  return shown;
}

// Answers every dialog shown while it lives by pressing the button named (empty: the close box)
// and keeps what each dialog showed.
class DialogAnswerer {
 public:
  explicit DialogAnswerer(QString button = QStringLiteral("OK"),
                          QString messageLabel = QStringLiteral("Message"))
      : hook_([this, button, messageLabel](QDialog& dialog) -> QAbstractButton* {
          shown_.push_back(Read(dialog, messageLabel));
          if (button.isEmpty()) return nullptr;
          return dialog.findChild<QPushButton*>(button);
        }) {}

  const std::vector<ShownDialog>& Shown() const { return shown_; }

 private:
  std::vector<ShownDialog> shown_;
  ScopedDialogTestHook hook_;
};

}  // namespace nox::forms::testing

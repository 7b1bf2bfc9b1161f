#pragma once
// The common controls of the windows, built with their object names: the names are what the
// interface translation and the field settings find a control by. Labels and buttons are of the
// framework's own kind, in the interface language: they take the configured form font and the
// interface character set (forms/fonts.h).

#include <QString>

class QHBoxLayout;
class QLabel;
class QPushButton;
class QWidget;

namespace nox::forms {

class TNoxForm;

// A label; without a name (null) for captions that nothing looks up.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text = QString(),
                  bool bold = false);
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text,
                        const QString& hint = QString());
// A dialog's right-aligned OK (the default button) and Cancel (pressed by Escape).
QHBoxLayout* MakeOkCancelRow(TNoxForm& dialog, QPushButton*& ok, QPushButton*& cancel);

}  // namespace nox::forms

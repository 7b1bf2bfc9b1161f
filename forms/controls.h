#pragma once
// The common controls of the windows, built with their object names: the names are what the
// interface translation and the field settings find a control by.

#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace nox::forms {

// A label; without a name (null) for captions that nothing looks up.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text = QString(),
                  bool bold = false);
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text,
                        const QString& hint = QString());

}  // namespace nox::forms

#include "forms/controls.h"

#include <QFont>
#include <QLabel>
#include <QPushButton>

namespace nox::forms {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, bool bold) {
  auto* label = new QLabel(text, parent);
  if (name != nullptr) label->setObjectName(QString::fromLatin1(name));
  if (bold) {
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
  }
  return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text,
                        const QString& hint) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(QString::fromLatin1(name));
  if (!hint.isEmpty()) button->setToolTip(hint);
  return button;
}

}  // namespace nox::forms

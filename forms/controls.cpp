#include "forms/controls.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

#include "forms/nox_form.h"

namespace nox::forms {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, bool bold) {
  auto* label = new QLabel(text, parent);
  label->setProperty("LoadAs", QStringLiteral("AsLabel"));
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
  button->setProperty("LoadAs", QStringLiteral("AsLabel"));
  button->setObjectName(QString::fromLatin1(name));
  if (!hint.isEmpty()) button->setToolTip(hint);
  return button;
}

QHBoxLayout* MakeOkCancelRow(TNoxForm& dialog, QPushButton*& ok, QPushButton*& cancel) {
  ok = MakeButton(&dialog, "BBOk", QStringLiteral("OK"));
  ok->setDefault(true);
  cancel = MakeButton(&dialog, "BBCancel", QStringLiteral("Cancel"));
  dialog.SetCancelButton(cancel);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  return row;
}

}  // namespace nox::forms

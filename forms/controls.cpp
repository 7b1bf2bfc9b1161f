#include "forms/controls.h"

#include <QByteArray>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <tuple>

#include "forms/nox_form.h"

namespace nox::forms {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, bool bold) {
  auto* label = new QLabel(text, parent);
  label->setProperty("LoadAs", QStringLiteral("AsLabel"));
  label->setObjectName(QString::fromLatin1(name));
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

QLineEdit* MakeReadOnlyField(QWidget* parent, const char* name, int chars) {
  auto* field = new QLineEdit(parent);
  field->setObjectName(QString::fromLatin1(name));
  field->setReadOnly(true);
  if (chars > 0) {
    // Room for the text, the frame and the text margins.
    field->setMinimumWidth(field->fontMetrics().horizontalAdvance(QString(chars, u'W')) + 12);
  }
  return field;
}

QGridLayout* MakeFileFields(QGroupBox& group, const char* side, FileFields& fields) {
  const QString prefix = QStringLiteral("Edit") + QLatin1String(side);
  const auto make = [&](const char* part, int chars) {
    return MakeReadOnlyField(&group, (prefix + QLatin1String(part)).toLatin1().constData(), chars);
  };
  // Wide enough for a whole DOS file name and extension; the path takes the rest.
  fields.path = make("Path", 12);
  fields.name = make("Name", 8);
  fields.extension = make("Ext", 4);
  auto* grid = new QGridLayout(&group);
  int column = 0;
  for (auto [part, caption, field, description] :
       {std::tuple{"Path", QStringLiteral("Path"), fields.path,
                   QStringLiteral("The table's directory")},
        std::tuple{"Name", QStringLiteral("File Name"), fields.name,
                   QStringLiteral("The table's file name up to its first dot")},
        std::tuple{"Ext", QStringLiteral("Extension"), fields.extension,
                   QStringLiteral("The table's extension from its last dot")}}) {
    // Named, so that the field settings find the label of each field (and translate it).
    const QByteArray labelName = QByteArray("Lbl") + side + part;
    QLabel* label = MakeLabel(&group, labelName.constData(), caption);
    label->setBuddy(field);
    field->setAccessibleDescription(description);
    grid->addWidget(label, 0, column);
    grid->addWidget(field, 1, column++);
  }
  grid->setColumnStretch(0, 3);
  grid->setColumnStretch(1, 2);
  grid->setColumnStretch(2, 1);
  return grid;
}

void ShowFromStart(QLineEdit& field, const QString& text) {
  field.setText(text);
  field.setCursorPosition(0);
}

void Describe(QWidget& control, const QString& name, const QString& description) {
  if (!name.isEmpty()) control.setAccessibleName(name);
  control.setAccessibleDescription(description);
}

void MakeTopLevelWindow(QWidget& window) {
  window.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                        Qt::WindowCloseButtonHint);
}

QHBoxLayout* MakeOkCancelRow(TNoxForm& dialog, QPushButton*& ok, QPushButton*& cancel) {
  ok = MakeButton(&dialog, "BBOk", QStringLiteral("OK"));
  ok->setDefault(true);
  cancel = MakeButton(&dialog, "BBCancel", QStringLiteral("Cancel"));
  ok->setAccessibleDescription(QStringLiteral("Accepts the dialog"));
  cancel->setAccessibleDescription(QStringLiteral("Closes the dialog without changes"));
  dialog.SetCancelButton(cancel);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  return row;
}

}  // namespace nox::forms

#include "calc/open_calculator.h"

#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTableView>
#include <QTableWidget>
#include <functional>
#include <stdexcept>
#include <string>

#include "calc/calc_logic.h"
#include "calc/form_calcul.h"
#include "forms/beeper.h"
#include "forms/form_services.h"
#include "forms/modal.h"
#include "forms/text.h"
#include "host/host_formats.h"

namespace nox::calc {
namespace {

TFormCalcul* activeCalculator = nullptr;

// Where the calculator's value comes from and where its result goes back to.
struct CallingField {
  QString text = QString::fromLatin1(kZeroText.data(), kZeroText.size());
  bool canTransfer = false;
  std::function<void(const QString& text)> writeBack;
};

// A data grid is a table view over a data model; the string grids (QTableWidget) count as other
// controls, as does a grid without a selected field.
CallingField DataGridField(QTableView& grid) {
  const QModelIndex index = grid.currentIndex();
  if (!index.isValid()) return {};
  CallingField field;
  field.text = index.data(Qt::EditRole).toString();
  field.canTransfer = index.flags().testFlag(Qt::ItemIsEditable);
  field.writeBack = [model = QPointer<QAbstractItemModel>(grid.model()),
                     cell = QPersistentModelIndex(index)](const QString& text) {
    if (model == nullptr || !cell.isValid()) return;  // the field is gone with its grid
    if (!model->setData(cell, text, Qt::EditRole)) {
      throw std::runtime_error("The calculator's result " + text.toStdString() +
                               " could not be written into the grid");
    }
  };
  return field;
}

CallingField FocusedField(QWidget* focused) {
  if (auto* grid = qobject_cast<QTableView*>(focused);
      grid != nullptr && qobject_cast<QTableWidget*>(focused) == nullptr) {
    return DataGridField(*grid);
  }
  if (auto* edit = qobject_cast<QLineEdit*>(focused)) {
    CallingField field;
    field.text = edit->text();
    // A read-only field shows its value but takes nothing back.
    field.canTransfer = !edit->isReadOnly();
    field.writeBack = [target = QPointer<QLineEdit>(edit)](const QString& text) {
      if (target != nullptr) target->setText(text);
    };
    return field;
  }
  return {};
}

}  // namespace

void OpenCalculator(forms::TNoxForm& caller) {
  if (activeCalculator != nullptr) {
    forms::Beep();
    return;
  }
  const CallingField field = FocusedField(caller.focusWidget());
  forms::FormPtr<TFormCalcul> form = forms::CreateForm<TFormCalcul>(&caller);
  activeCalculator = form.get();
  struct Release {
    ~Release() { activeCalculator = nullptr; }
  } release;

  const char separator = host::HostFormats::DecimalSeparator();
  // A field text the code page cannot hold is no number either.
  const std::string text = forms::ToDataText(field.text).value_or(std::string());
  form->Begin(InitialDisplay(text, field.canTransfer, separator), field.canTransfer);
  if (forms::RunModal(*form) == QDialog::Accepted && field.canTransfer) {
    field.writeBack(forms::FromDataText(TransferText(form->Logic().Display(), separator)));
  }
}

TFormCalcul* ActiveCalculator() {
  return activeCalculator;
}

void InstallCalculator() {
  forms::InstalledServices().showCalculator = OpenCalculator;
}

}  // namespace nox::calc

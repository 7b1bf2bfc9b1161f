#pragma once
// TFormFunc: the formula editor of one target field. It offers the source field names and the
// operators and function templates for insertion at the caret, tests the formula on the current
// source record before accepting it, and opens the formula wizard.

#include <QString>
#include <string>

#include "forms/nox_form.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace nox::convert {
class Workspace;
}
namespace nox::formula {
class NamedWindow;
}

namespace nox::forms {

// A formula typed into an edit, in Windows-1257 bytes. A character without a byte there (only
// text set by the program can hold one; typing is guarded) is an error naming the character.
std::string FormulaText(const QLineEdit& edit);

class TFormFunc : public TNoxForm {
  Q_OBJECT

 public:
  // Reads the workspace's selected target row (its name is the heading), its function display
  // (empty when "<default>"), the source names, TableSource and DialogContext; formulas are
  // evaluated with mainWindow as the calculation's window. Neither is owned.
  TFormFunc(convert::Workspace& workspace, formula::NamedWindow* mainWindow,
            QWidget* parent = nullptr);

  // The text of EditFunc in Windows-1257 bytes.
  std::string Formula() const;
  // Replaces the text of EditFunc (the wizard's Apply); the caret goes to its end.
  void SetFormula(const std::string& text);

  void BtnInsFieldClick();
  void BtnInsFuncClick();
  // Tests the formula on the current source record; closes with OK when it yields a value.
  void BBOkClick();
  // "Wizard": opens the formula wizard on this editor's formula.
  void BBToolClick();

 protected:
  void FormCreate() override;
  void FormShow() override;

 private:
  void BuildControls();
  // Inserts the list's selected item at the remembered caret, then clears the list selection.
  void InsertFrom(QListWidget& list, QPushButton& insertButton);

  convert::Workspace& workspace_;
  formula::NamedWindow* mainWindow_;
  // Where the caret stood when EditFunc last lost the focus: the user leaves the edit to pick an
  // item, and the item goes where the caret was.
  int rememberedCaret_ = 0;

  QLabel* LblTField_ = nullptr;
  QLineEdit* EditFunc_ = nullptr;
  QListWidget* LBSFields_ = nullptr;
  QPushButton* BtnInsField_ = nullptr;
  QListWidget* LBFunctions_ = nullptr;
  QPushButton* BtnInsFunc_ = nullptr;
  QPushButton* BBOk_ = nullptr;
  QPushButton* BBCancel_ = nullptr;
  QPushButton* BBTool_ = nullptr;
};

}  // namespace nox::forms

#pragma once
// TFormMemo: the formula wizard, a test bench for formulas. It shows the token and type lists of
// a translation, the reduced lists after a calculation and the value; opened from the formula
// editor it can hand the formula back.

#include "forms/nox_form.h"
#include "formula/formula.h"

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

class TFormFunc;

class TFormMemo : public TNoxForm {
  Q_OBJECT

 public:
  // editor: the formula editor that opened the wizard (Apply writes into it), null from the menu.
  // The editor marks its call with the workspace's DialogContext "VIZARD"; the wizard takes the
  // mark when it is created. Nothing is owned.
  TFormMemo(convert::Workspace& workspace, formula::NamedWindow* mainWindow, TFormFunc* editor,
            QWidget* parent = nullptr);

  void ButtonClick();        // "Translate"
  void BtnCalcClick();       // "Calculate"
  void BtnTransCalcClick();  // "TransCalc"
  void BBApplyClick();       // "Apply"

 protected:
  void FormCreate() override;

 private:
  void BuildControls();
  void ShowLists(const formula::TokenList& tokens, const formula::TypeList& types);

  convert::Workspace& workspace_;
  formula::NamedWindow* mainWindow_;
  TFormFunc* editor_;
  // The lists LBaStr and LBaTip show, as the calculator takes them.
  formula::TokenList shownTokens_;
  formula::TypeList shownTypes_;

  QLineEdit* Edit_ = nullptr;
  QPushButton* Button_ = nullptr;
  QListWidget* LBaStr_ = nullptr;
  QListWidget* LBaTip_ = nullptr;
  QPushButton* BtnCalc_ = nullptr;
  QPushButton* BtnTransCalc_ = nullptr;
  QLabel* Label1_ = nullptr;
  QLineEdit* EditRez_ = nullptr;
  QPushButton* BBApply_ = nullptr;
  QPushButton* BitBtn1_ = nullptr;
};

}  // namespace nox::forms

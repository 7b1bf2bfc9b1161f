#pragma once
// TFormCalcul: the pocket calculator "Kalkulators". A thin window over CalcLogic: its picture
// buttons, menus and keys run the logic's operations and show its registers. Transfer closes it
// with the result OK; "Iziet" and the close box cancel.

#include <array>
#include <string_view>

#include "calc/calc_logic.h"
#include "forms/nox_form.h"

class QAbstractButton;
class QAction;
class QGroupBox;
class QLabel;
class QPushButton;

namespace nox::calc {

class TFormCalcul : public forms::TNoxForm {
  Q_OBJECT

 public:
  explicit TFormCalcul(QWidget* parent = nullptr);

  const CalcLogic& Logic() const { return logic_; }
  // Starts from a value in display form; transfer is offered only when allowed.
  void Begin(std::string_view display, bool canTransfer);

  void CopyClick();
  void PasteClick();

 protected:
  void FormCreate() override;
  void FormShow() override;
  void KeyDown(int& key, Qt::KeyboardModifiers shift) override;

 private:
  QPushButton* AddButton(const char* name, CalcCommand command);
  QAbstractButton* ButtonForKey(int key, Qt::KeyboardModifiers shift) const;
  void Run(CalcCommand command);
  // Shows the registers and the availability of the buttons.
  void Refresh();

  CalcLogic logic_;
  QLabel* LblDisp_ = nullptr;
  QLabel* LblB_ = nullptr;
  QLabel* ImgZn_ = nullptr;
  QGroupBox* MemoryBox_ = nullptr;
  QLabel* LblMem_ = nullptr;
  QLabel* LblMemText_ = nullptr;
  // The button of every command, by the command's number.
  std::array<QPushButton*, kCalcCommandCount> buttons_{};
  QPushButton* BtnCopy_ = nullptr;
  QAction* MenuTransfer_ = nullptr;
};

}  // namespace nox::calc

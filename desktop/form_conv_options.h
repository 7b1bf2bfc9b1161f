#pragma once
// TFormConvOptions: edits the four option lines of the open description. It fills itself from the
// workspace when shown and, on OK after a change, hands the options back to the workspace, which
// checks and writes them; the window stays open when they are refused.

#include "forms/nox_form.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace nox::convert {
class Workspace;
}

namespace nox::forms {

class TFormConvOptions : public TNoxForm {
  Q_OBJECT

 public:
  explicit TFormConvOptions(convert::Workspace& workspace, QWidget* parent = nullptr);

  // Whether the user changed anything since the window filled itself.
  bool OptionsChanged() const { return optionsChanged_; }

 protected:
  void FormShow() override;

 private:
  void BBOkClick();
  void SetChanged() { optionsChanged_ = true; }

  convert::Workspace& workspace_;
  bool optionsChanged_ = false;
  QCheckBox* CBClearTarget_ = nullptr;
  QCheckBox* CBLatvian_ = nullptr;
  QLineEdit* EditPack_ = nullptr;
  QLineEdit* EditFilter_ = nullptr;
  QPushButton* BBOk_ = nullptr;
  QPushButton* BBCancel_ = nullptr;
};

}  // namespace nox::forms

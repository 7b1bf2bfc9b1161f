#pragma once
// TFormView: shows a copy of the description text in a fixed-pitch font. What the user types
// there stays in the window.

#include "forms/nox_form.h"

class QPlainTextEdit;
class QPushButton;

namespace nox::convert {
class DescriptionText;
}

namespace nox::forms {

class TFormView : public TNoxForm {
  Q_OBJECT

 public:
  // The text is read at each show; it must outlive the window.
  explicit TFormView(const convert::DescriptionText& text, QWidget* parent = nullptr);

 protected:
  void FormShow() override;

 private:
  const convert::DescriptionText& text_;
  QPlainTextEdit* CFileView_ = nullptr;
  QPushButton* BBClose_ = nullptr;
};

}  // namespace nox::forms

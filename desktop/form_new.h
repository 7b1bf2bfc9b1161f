#pragma once
// TFormNew: picks a source and a target table for a new description. TFormFile: the same window
// for changing the tables of the open description, filled from its FILES section when shown. The
// caller reads the two paths after OK and hands them to the workspace.

#include <QString>
#include <string>

#include "forms/nox_form.h"

class QGroupBox;
class QLineEdit;
class QPushButton;

namespace nox::convert {
class Workspace;
}

namespace nox::forms {

class TFormNew : public TNoxForm {
  Q_OBJECT

 public:
  explicit TFormNew(QWidget* parent = nullptr);

  // The chosen full paths (Windows-1257 bytes, as the core keeps text); valid after OK.
  std::string SourcePath() const;
  std::string TargetPath() const;

  void BtnSourceClick();
  void BtnTargetClick();

 protected:
  void FormShow() override;

  // One side of the window: its three fields, its Browse button and the chosen full name (also
  // the file dialog's initial name), kept as the core's bytes so that a path read from the
  // description goes back unchanged.
  struct Side {
    QLineEdit* path = nullptr;
    QLineEdit* name = nullptr;
    QLineEdit* extension = nullptr;
    QPushButton* browse = nullptr;
    std::string fileName;
  };
  // Shows the full name split into the side's fields and remembers it.
  static void FillSide(Side& side, const std::string& fileName);

  Side source_;
  Side target_;
  QPushButton* BBOk_ = nullptr;
  QPushButton* BBCancel_ = nullptr;

 private:
  QGroupBox* MakeGroup(const char* name, const QString& title, Side& side, const char* prefix);
  // Browse on one side with the open dialog of that name; the other side decides where the focus
  // goes.
  void Browse(Side& side, Side& other, const char* dialogName, const QString& title);
  void RejectSameFile();
};

class TFormFile : public TFormNew {
  Q_OBJECT

 public:
  explicit TFormFile(convert::Workspace& workspace, QWidget* parent = nullptr);

 protected:
  void FormShow() override;

 private:
  convert::Workspace& workspace_;
};

}  // namespace nox::forms

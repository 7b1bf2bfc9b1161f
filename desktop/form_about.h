#pragma once
// TFormAbout: the program's About window. TFormPres: the splash window shown while the program
// starts. ProgramIcon: the program's icon, drawn rather than loaded so that it needs no resource.

#include <QIcon>

#include "forms/nox_form.h"

namespace nox::forms {

class TFormAbout : public TNoxForm {
  Q_OBJECT

 public:
  explicit TFormAbout(QWidget* parent = nullptr);

 protected:
  void FormShow() override;
};

class TFormPres : public TNoxForm {
  Q_OBJECT

 public:
  explicit TFormPres(QWidget* parent = nullptr);

 protected:
  void FormShow() override;
};

QIcon ProgramIcon();

}  // namespace nox::forms

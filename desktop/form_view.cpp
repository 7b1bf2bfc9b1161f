#include "desktop/form_view.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "convert/description_file.h"
#include "forms/controls.h"
#include "forms/text.h"

namespace nox::forms {

TFormView::TFormView(const convert::DescriptionText& text, QWidget* parent)
    : TNoxForm(parent), text_(text) {
  setObjectName(QStringLiteral("FormView"));
  setWindowTitle(QStringLiteral("Convertation INI file"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

  CFileView_ = new QPlainTextEdit(this);
  CFileView_->setObjectName(QStringLiteral("CFileView"));
  CFileView_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  // Lines are shown as they are stored, long ones reached by scrolling.
  CFileView_->setLineWrapMode(QPlainTextEdit::NoWrap);
  CFileView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  CFileView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

  BBClose_ = new QPushButton(QStringLiteral("Close"), this);
  BBClose_->setObjectName(QStringLiteral("BBClose"));
  SetCancelButton(BBClose_);
  Describe(*CFileView_, QStringLiteral("Description text"),
           QStringLiteral("The lines of the open description; changes here are not kept"));
  Describe(*BBClose_, QString(), QStringLiteral("Closes the view"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BBClose_);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(CFileView_);
  layout->addLayout(buttons);
  resize(600, 420);

  connect(BBClose_, &QPushButton::clicked, this, &QDialog::accept);
}

void TFormView::FormShow() {
  TNoxForm::FormShow();
  CFileView_->clear();
  for (const std::string& line : text_.lines)
    CFileView_->appendPlainText(FromDataText(line));
}

}  // namespace nox::forms

#include "forms/message_box.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "forms/modal.h"
#include "forms/text.h"

namespace nox::forms {
namespace {

constexpr int kWidth = 229;
constexpr int kHeight = 124;
constexpr int kCaptionHeight = 20;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kFirstResult = 0;
constexpr int kSecondResult = 1;

QPointer<TFormSoobchen>& Instance() {
  static QPointer<TFormSoobchen> instance;
  return instance;
}

void ReleaseInstance() {
  delete Instance().data();
}

}  // namespace

TFormSoobchen::TFormSoobchen(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      panel_(new QFrame(this)),
      gradCaption_(new QLabel(this)),
      lblSoob_(new QLabel(panel_)),
      image_(new QLabel(panel_)),
      lblDopInform_(new QLabel(panel_)),
      btnOk_(new QPushButton(panel_)),
      btnCancel_(new QPushButton(panel_)),
      editStroka_(new QLineEdit(panel_)) {
  setObjectName(QStringLiteral("FormSoobchen"));
  setFixedSize(kWidth, kHeight);

  gradCaption_->setObjectName(QStringLiteral("GradCaption"));
  gradCaption_->setGeometry(0, 0, kWidth, kCaptionHeight);
  gradCaption_->setStyleSheet(QStringLiteral(
      "background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #008000, stop:1 #d8f0d8);"
      "color: white; font-weight: bold; padding-left: 4px;"));

  panel_->setObjectName(QStringLiteral("Panel"));
  panel_->setFrameShape(QFrame::Panel);
  panel_->setFrameShadow(QFrame::Raised);
  panel_->setGeometry(0, kCaptionHeight, kWidth, kHeight - kCaptionHeight);

  image_->setObjectName(QStringLiteral("Image"));
  image_->setGeometry(8, 8, 30, 30);
  image_->setScaledContents(true);
  lblSoob_->setObjectName(QStringLiteral("LblSoob"));
  lblSoob_->setGeometry(44, 4, kWidth - 52, 40);
  lblSoob_->setAlignment(Qt::AlignCenter);
  lblSoob_->setWordWrap(true);
  lblSoob_->setTextFormat(Qt::PlainText);
  lblDopInform_->setObjectName(QStringLiteral("LblDopInform"));
  lblDopInform_->setGeometry(44, 46, kWidth - 52, 16);
  editStroka_->setObjectName(QStringLiteral("EditStroka"));
  editStroka_->setGeometry(8, 44, kWidth - 16, 22);

  const int buttonTop = panel_->height() - kButtonHeight - 8;
  btnOk_->setObjectName(QStringLiteral("BtnOK"));
  btnOk_->setGeometry(0, buttonTop, kButtonWidth, kButtonHeight);
  btnCancel_->setObjectName(QStringLiteral("BtnCancel"));
  btnCancel_->setGeometry(0, buttonTop, kButtonWidth, kButtonHeight);
  connect(btnOk_, &QPushButton::clicked, this, [this] { done(kFirstResult); });
  connect(btnCancel_, &QPushButton::clicked, this, [this] { done(kSecondResult); });

  for (QStyle::StandardPixmap icon :
       {QStyle::SP_MessageBoxWarning, QStyle::SP_MessageBoxCritical, QStyle::SP_MessageBoxQuestion,
        QStyle::SP_MessageBoxInformation}) {
    imageList_.append(QIcon(style()->standardIcon(icon, nullptr, this).pixmap(32, 32)));
  }
}

void TFormSoobchen::Prepare(const QString& title, const QString& text, int icon, int preselected,
                            int buttonSet) {
  setWindowTitle(title);
  gradCaption_->setText(title);
  lblSoob_->setText(WithLineBreaks(text));
  lblDopInform_->clear();
  lblDopInform_->show();
  editStroka_->hide();
  image_->setPixmap(icon >= 0 && icon < imageList_.size() ? imageList_[icon].pixmap(32, 32)
                                                          : QPixmap());

  const int panelWidth = panel_->width();
  const int width = btnOk_->width();
  if (buttonSet == kSoobchenOkCancel || buttonSet == kSoobchenYesNo) {
    const bool okCancel = buttonSet == kSoobchenOkCancel;
    btnOk_->setText(okCancel ? QStringLiteral("OK") : QStringLiteral("Yes"));
    btnCancel_->setText(okCancel ? QStringLiteral("Cancel") : QStringLiteral("No"));
    btnOk_->move((panelWidth - width) / 2 - 3 * (width / 4), btnOk_->y());
    btnCancel_->move((panelWidth + width) / 2 - width / 4, btnCancel_->y());
    btnOk_->show();
    btnCancel_->show();
  } else {
    btnOk_->setText(QStringLiteral("OK"));
    btnOk_->move((panelWidth - width) / 2, btnOk_->y());
    btnOk_->show();
    btnCancel_->hide();
  }
  QPushButton* focused = preselected == kSoobchenSecondButton ? btnCancel_ : btnOk_;
  if (!focused->isHidden()) focused->setFocus();
}

void TFormSoobchen::reject() {
  done(kSoobchenClosed);
}

TFormSoobchen& FormSoobchen() {
  QPointer<TFormSoobchen>& instance = Instance();
  if (instance.isNull()) {
    instance = new TFormSoobchen();
    qAddPostRoutine(ReleaseInstance);
  }
  return *instance;
}

int NoxMessageBox(const QString& title, const QString& text, int icon, int preselected,
                  int buttonSet) {
  TFormSoobchen& form = FormSoobchen();
  form.Prepare(title, text, icon, preselected, buttonSet);
  PutInFront(form);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    form.move(screen->geometry().center() - QPoint(kWidth / 2, kHeight / 2));
  }
  return RunModal(form);
}

}  // namespace nox::forms

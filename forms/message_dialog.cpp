#include "forms/message_dialog.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <algorithm>
#include <array>
#include <bit>
#include <optional>

#include "forms/modal.h"
#include "forms/text.h"

namespace nox::forms {
namespace {

struct ButtonInfo {
  const char* name;
  const char16_t* latvianCaption;
  int result;
};

// In the order of MsgDlgBtn.
constexpr std::array<ButtonInfo, kButtonCount> kButtonInfo{{
    {"Yes", u"&Jā", mrYes},
    {"No", u"&Nē", mrNo},
    {"OK", u"&OK", mrOk},
    {"Cancel", u"At&celt", mrCancel},
    {"Abort", u"Pār&traukt", mrAbort},
    {"Retry", u"&Atkārtot", mrRetry},
    {"Ignore", u"&Ignorēt", mrIgnore},
    {"All", u"&Visus", mrAll},
    {"Help", u"&Palīdzība", mrNone},
}};

const ButtonInfo& Info(MsgDlgBtn button) {
  return kButtonInfo.at(static_cast<std::size_t>(button));
}

bool Has(MsgDlgButtons set, MsgDlgBtn button) {
  return (set & ButtonBit(button)) != 0;
}

// Integer a·b/c rounded to the nearest, for the non-negative sizes of the layout.
int MulDivRound(int a, int b, int c) {
  return (a * b + c / 2) / c;
}

std::optional<QStyle::StandardPixmap> KindIcon(MsgDlgType kind) {
  switch (kind) {
    case MsgDlgType::Warning:
      return QStyle::SP_MessageBoxWarning;
    case MsgDlgType::Error:
      return QStyle::SP_MessageBoxCritical;
    case MsgDlgType::Information:
      return QStyle::SP_MessageBoxInformation;
    case MsgDlgType::Confirmation:
      return QStyle::SP_MessageBoxQuestion;
    case MsgDlgType::Custom:
      break;
  }
  return std::nullopt;
}

std::optional<MsgDlgBtn> FirstPresent(MsgDlgButtons set, std::initializer_list<MsgDlgBtn> order) {
  for (MsgDlgBtn button : order) {
    if (Has(set, button)) return button;
  }
  return std::nullopt;
}

// The dialog: Escape presses the cancel button (when there is one), the close box gives mrCancel.
class MessageDialog : public QDialog {
 public:
  MessageDialog() : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {}

  void SetCancelButton(QPushButton* button) { cancelButton_ = button; }

  void reject() override { done(mrCancel); }

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
      if (cancelButton_ != nullptr) cancelButton_->click();
      event->accept();
      return;
    }
    QDialog::keyPressEvent(event);
  }

 private:
  QPushButton* cancelButton_ = nullptr;
};

QString CaptionFor(const QString& caption, MsgDlgType kind) {
  if (caption.isEmpty()) return ApplicationTitle();
  if (caption.toUpper() == QLatin1String(kLatvianCaptionRequest)) return KindLatvianCaption(kind);
  return caption;
}

void Build(MessageDialog& dialog, const QString& message, const QString& caption, MsgDlgType kind,
           int helpContext, MsgDlgButtons buttons) {
  // Sizes in units of the dialog font, so the dialog scales with it.
  const QFontMetrics metrics(dialog.font());
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const int unitWidth = metrics.horizontalAdvance(letters) / 52;
  const int unitHeight = metrics.height();
  const int horzMargin = MulDivRound(8, unitWidth, 4);
  const int vertMargin = MulDivRound(8, unitHeight, 8);
  const int horzSpacing = MulDivRound(10, unitWidth, 4);
  const int vertSpacing = MulDivRound(10, unitHeight, 8);
  const int buttonWidth = MulDivRound(50, unitWidth, 4);
  const int buttonHeight = MulDivRound(14, unitHeight, 8);
  const int buttonSpacing = MulDivRound(4, unitWidth, 4);

  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect screenRect = screen != nullptr ? screen->geometry() : QRect(0, 0, 800, 600);
  const QRect textRect = metrics.boundingRect(QRect(0, 0, screenRect.width() / 2, 0),
                                              Qt::AlignLeft | Qt::TextWordWrap, message);
  const std::optional<QStyle::StandardPixmap> icon = KindIcon(kind);
  int blockWidth = textRect.width();
  int blockHeight = textRect.height();
  if (icon) {
    blockWidth += 32 + horzSpacing;
    blockHeight = std::max(blockHeight, 32);
  }

  const int buttonCount = std::popcount(buttons & ((1u << kButtonCount) - 1));
  const int groupWidth =
      buttonCount == 0 ? 0 : buttonCount * buttonWidth + (buttonCount - 1) * buttonSpacing;
  const int clientWidth = std::max(blockWidth, groupWidth) + 2 * horzMargin;
  const int clientHeight = blockHeight + buttonHeight + vertSpacing + 2 * vertMargin;
  dialog.setFixedSize(clientWidth, clientHeight);
  dialog.move(screenRect.center() - QPoint(clientWidth / 2, clientHeight / 2));
  dialog.setWindowTitle(CaptionFor(caption, kind));

  if (icon) {
    auto* image = new QLabel(&dialog);
    image->setObjectName(QStringLiteral("Image"));
    image->setGeometry(horzMargin, vertMargin, 32, 32);
    image->setPixmap(dialog.style()->standardIcon(*icon, nullptr, &dialog).pixmap(32, 32));
  }
  auto* label = new QLabel(&dialog);
  label->setObjectName(QStringLiteral("Message"));
  label->setTextFormat(Qt::PlainText);
  label->setWordWrap(true);
  label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label->setText(message);
  label->setGeometry(blockWidth - textRect.width() + horzMargin, vertMargin, textRect.width(),
                     textRect.height());

  const std::optional<MsgDlgBtn> defaultButton =
      FirstPresent(buttons, {MsgDlgBtn::OK, MsgDlgBtn::Yes, MsgDlgBtn::Retry});
  const std::optional<MsgDlgBtn> cancelButton =
      FirstPresent(buttons, {MsgDlgBtn::Cancel, MsgDlgBtn::No, MsgDlgBtn::OK});
  int x = (clientWidth - groupWidth) / 2;
  const int y = blockHeight + vertMargin + vertSpacing;
  for (int index = 0; index < kButtonCount; ++index) {
    const auto buttonKind = static_cast<MsgDlgBtn>(index);
    if (!Has(buttons, buttonKind)) continue;
    auto* button = new QPushButton(&dialog);
    button->setObjectName(ButtonName(buttonKind));
    button->setText(caption.isEmpty() ? ButtonName(buttonKind) : ButtonLatvianCaption(buttonKind));
    button->setGeometry(x, y, buttonWidth, buttonHeight);
    x += buttonWidth + buttonSpacing;
    const int result = ButtonResult(buttonKind);
    if (result != mrNone) {
      QObject::connect(button, &QPushButton::clicked, &dialog,
                       [&dialog, result] { dialog.done(result); });
    }
    if (buttonKind == defaultButton) {
      button->setDefault(true);
      button->setFocus();
    }
    if (buttonKind == cancelButton) dialog.SetCancelButton(button);
  }
  dialog.setProperty("HelpContext", helpContext);
}

}  // namespace

QString ButtonName(MsgDlgBtn button) {
  return QString::fromLatin1(Info(button).name);
}

QString ButtonLatvianCaption(MsgDlgBtn button) {
  return QString::fromUtf16(Info(button).latvianCaption);
}

int ButtonResult(MsgDlgBtn button) {
  return Info(button).result;
}

QString KindLatvianCaption(MsgDlgType kind) {
  switch (kind) {
    case MsgDlgType::Warning:
      return QStringLiteral("Brīdinājums");
    case MsgDlgType::Error:
      return QStringLiteral("Kļūda");
    case MsgDlgType::Information:
      return QStringLiteral("Paziņojums");
    case MsgDlgType::Confirmation:
      return QStringLiteral("Jautājums");
    case MsgDlgType::Custom:
      break;
  }
  return ApplicationTitle();
}

namespace {
QString& StoredTitle() {
  static QString title;
  return title;
}
}  // namespace

QString ApplicationTitle() {
  const QString& title = StoredTitle();
  return title.isEmpty() ? QCoreApplication::applicationName() : title;
}

void SetApplicationTitle(const QString& title) {
  StoredTitle() = title;
}

int NoxMessageDlg(const QString& message, const QString& caption, MsgDlgType kind, int helpContext,
                  MsgDlgButtons buttons) {
  MessageDialog dialog;
  Build(dialog, WithLineBreaks(message), caption, kind, helpContext, buttons);
  PutInFront(dialog);
  return RunModal(dialog);
}

}  // namespace nox::forms

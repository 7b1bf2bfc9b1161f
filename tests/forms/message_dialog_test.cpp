#include "forms/message_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <utility>

#include "forms/message_box.h"
#include "forms/message_sink.h"
#include "forms/modal.h"
#include "tests/forms/dialog_probe.h"

namespace nox::forms {
namespace {

using testing::DialogAnswerer;

QImage StandardIcon(QStyle::StandardPixmap icon) {
  return QApplication::style()->standardIcon(icon).pixmap(32, 32).toImage();
}

TEST(NoxMessageDlg, CaptionIsTitleLatvianKindCaptionOrTheTextGiven) {
  struct Case {
    QString caption;
    MsgDlgType kind;
    QString shown;
  };
  const Case cases[] = {
      {"", MsgDlgType::Error, "NOX Test"},
      {"LATCAPTION", MsgDlgType::Warning, "Brīdinājums"},
      {"LATCAPTION", MsgDlgType::Error, "Kļūda"},
      {"latCaption", MsgDlgType::Information, "Paziņojums"},
      {"LATCAPTION", MsgDlgType::Confirmation, "Jautājums"},
      {"LATCAPTION", MsgDlgType::Custom, "NOX Test"},
      {"Saglabāt izmaiņas", MsgDlgType::Warning, "Saglabāt izmaiņas"},
  };
  for (const Case& c : cases) {
    DialogAnswerer answerer;
    NoxMessageDlg("Text", c.caption, c.kind, 0, kButtonsOk);
    ASSERT_EQ(answerer.Shown().size(), 1u);
    EXPECT_EQ(answerer.Shown()[0].caption, c.shown) << c.caption.toStdString();
    EXPECT_EQ(answerer.Shown()[0].message, "Text");
  }
}

TEST(NoxMessageDlg, ButtonSetGivesButtonsInOrderWithDefaultAndCancel) {
  struct Case {
    MsgDlgButtons set;
    QStringList names;
    QStringList latvianCaptions;
    QString defaultButton;
    int escapeResult;  // the cancel button's result; mrNone when Escape presses nothing
  };
  const Case cases[] = {
      {4, {"OK"}, {"&OK"}, "OK", mrOk},
      {11, {"Yes", "No", "Cancel"}, {"&Jā", "&Nē", "At&celt"}, "Yes", mrCancel},
      {3, {"Yes", "No"}, {"&Jā", "&Nē"}, "Yes", mrNo},
      {Buttons({MsgDlgBtn::Abort, MsgDlgBtn::Retry, MsgDlgBtn::Ignore}),
       {"Abort", "Retry", "Ignore"},
       {"Pār&traukt", "&Atkārtot", "&Ignorēt"},
       "Retry",
       mrNone},
      {511,
       {"Yes", "No", "OK", "Cancel", "Abort", "Retry", "Ignore", "All", "Help"},
       {"&Jā", "&Nē", "&OK", "At&celt", "Pār&traukt", "&Atkārtot", "&Ignorēt", "&Visus",
        "&Palīdzība"},
       "OK",
       mrCancel},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.set);
    for (const QString& caption : {QString(), QStringLiteral("LATCAPTION")}) {
      int escapeResult = -1;
      testing::ShownDialog shown;
      ScopedDialogTestHook hook([&](QDialog& dialog) -> QAbstractButton* {
        shown = testing::Read(dialog, "Message");
        QTest::keyClick(&dialog, Qt::Key_Escape);
        escapeResult = dialog.result();
        return nullptr;
      });
      NoxMessageDlg("Question?", caption, MsgDlgType::Warning, 0, c.set);
      EXPECT_EQ(shown.buttonNames, c.names);
      EXPECT_EQ(shown.buttonCaptions, caption.isEmpty() ? c.names : c.latvianCaptions);
      EXPECT_EQ(shown.defaultButton, c.defaultButton);
      EXPECT_EQ(shown.focusedButton, c.defaultButton);
      EXPECT_EQ(escapeResult, c.escapeResult);
    }
  }
}

TEST(NoxMessageDlg, EachButtonGivesItsResultAndTheCloseBoxCancels) {
  const std::pair<QString, int> cases[] = {
      {"Yes", mrYes},       {"No", mrNo},       {"OK", mrOk},
      {"Cancel", mrCancel}, {"Abort", mrAbort}, {"Retry", mrRetry},
      {"Ignore", mrIgnore}, {"All", mrAll},     {"Help", mrNone},  // Help closes nothing
      {"", mrCancel},
  };
  for (const auto& [button, result] : cases) {
    DialogAnswerer answerer(button);
    EXPECT_EQ(NoxMessageDlg("Text", "", MsgDlgType::Confirmation, 0, 511), result)
        << button.toStdString();
  }
}

TEST(NoxMessageDlg, EnterPressesTheFocusedButtonElseTheDefault) {
  const std::pair<QString, int> cases[] = {{"", mrYes}, {"No", mrNo}, {"Cancel", mrCancel}};
  for (const auto& [focus, result] : cases) {
    int enterResult = -1;
    ScopedDialogTestHook hook([&](QDialog& dialog) -> QAbstractButton* {
      dialog.show();
      dialog.activateWindow();
      EXPECT_TRUE(QTest::qWaitForWindowActive(&dialog));
      if (!focus.isEmpty()) dialog.findChild<QPushButton*>(focus)->setFocus();
      QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
      enterResult = dialog.result();
      return nullptr;
    });
    NoxMessageDlg("Save?", "", MsgDlgType::Warning, 0, kButtonsYesNoCancel);
    EXPECT_EQ(enterResult, result) << focus.toStdString();
  }
}

TEST(NoxMessageDlg, IconFollowsTheKind) {
  const std::pair<MsgDlgType, std::optional<QStyle::StandardPixmap>> cases[] = {
      {MsgDlgType::Warning, QStyle::SP_MessageBoxWarning},
      {MsgDlgType::Error, QStyle::SP_MessageBoxCritical},
      {MsgDlgType::Information, QStyle::SP_MessageBoxInformation},
      {MsgDlgType::Confirmation, QStyle::SP_MessageBoxQuestion},
      {MsgDlgType::Custom, std::nullopt},
  };
  for (const auto& [kind, icon] : cases) {
    DialogAnswerer answerer;
    NoxMessageDlg("Text", "", kind, 0, kButtonsOk);
    const QImage& shown = answerer.Shown().at(0).icon;
    if (icon) {
      EXPECT_EQ(shown, StandardIcon(*icon)) << static_cast<int>(kind);
    } else {
      EXPECT_TRUE(shown.isNull());
    }
  }
}

TEST(NoxMessageDlg, LayoutFollowsTheDialogFont) {
  struct Placed {
    QRect image, message, dialog;
    QList<QRect> buttons;
    int helpContext = 0;
  };
  const auto place = [](const QString& message, MsgDlgType kind, MsgDlgButtons buttons) {
    Placed placed;
    ScopedDialogTestHook hook([&](QDialog& dialog) -> QAbstractButton* {
      if (auto* image = dialog.findChild<QLabel*>("Image")) placed.image = image->geometry();
      placed.message = dialog.findChild<QLabel*>("Message")->geometry();
      placed.dialog = QRect(QPoint(), dialog.size());
      for (QPushButton* button : testing::VisibleButtonsLeftToRight(dialog)) {
        placed.buttons << button->geometry();
      }
      placed.helpContext = dialog.property("HelpContext").toInt();
      return nullptr;
    });
    NoxMessageDlg(message, "", kind, 17, buttons);
    return placed;
  };
  const QFontMetrics metrics(QApplication::font("QDialog"));
  const int unit =
      metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52;
  const int horzMargin = (8 * unit + 2) / 4;
  const int vertMargin = (8 * metrics.height() + 4) / 8;
  const int buttonWidth = (50 * unit + 2) / 4;
  const int buttonSpacing = (4 * unit + 2) / 4;

  // One short line with an icon: a 32-pixel text block, the text right of the icon.
  const Placed oneLine = place("Short", MsgDlgType::Error, kButtonsYesNoCancel);
  EXPECT_EQ(oneLine.helpContext, 17);
  EXPECT_EQ(oneLine.image, QRect(horzMargin, vertMargin, 32, 32));
  EXPECT_EQ(oneLine.message.top(), vertMargin);
  EXPECT_GE(oneLine.message.left(), oneLine.image.right() + 1);
  ASSERT_EQ(oneLine.buttons.size(), 3);
  const int groupWidth = 3 * buttonWidth + 2 * buttonSpacing;
  EXPECT_EQ(oneLine.buttons[0].left(), (oneLine.dialog.width() - groupWidth) / 2);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(oneLine.buttons[i].width(), buttonWidth);
    EXPECT_EQ(oneLine.buttons[i].top(), oneLine.buttons[0].top());
    if (i > 0) {
      EXPECT_EQ(oneLine.buttons[i].left() - oneLine.buttons[i - 1].right() - 1, buttonSpacing);
    }
  }
  EXPECT_GT(oneLine.buttons[0].top(), vertMargin + 32);

  // A long text wraps at half the screen width.
  const int halfScreen = QGuiApplication::primaryScreen()->geometry().width() / 2;
  const Placed wrapped = place(QString("word ").repeated(200), MsgDlgType::Custom, kButtonsOk);
  EXPECT_TRUE(wrapped.image.isNull());
  EXPECT_EQ(wrapped.message.left(), horzMargin);
  EXPECT_LE(wrapped.message.width(), halfScreen);
  EXPECT_GT(wrapped.message.height(), 5 * metrics.height());
  EXPECT_EQ(wrapped.dialog.width(), wrapped.message.width() + 2 * horzMargin);
}

TEST(DialogMessageSink, CoreMessagesBecomeDialogsWithOkAndTheApplicationTitle) {
  const std::pair<host::MessageKind, QStyle::StandardPixmap> cases[] = {
      {host::MessageKind::Error, QStyle::SP_MessageBoxCritical},
      {host::MessageKind::Warning, QStyle::SP_MessageBoxWarning},
  };
  for (const auto& [kind, icon] : cases) {
    DialogAnswerer answerer;
    {
      ScopedDialogMessages messages;
      // Core text is single-byte Windows-1257: 0xFB is "ū".
      host::ShowMessage(kind,
                        "Fails nav atrasts: R\xFB"
                        "DIS.DB");
    }
    host::ShowMessage(kind, "goes to standard error again");
    ASSERT_EQ(answerer.Shown().size(), 1u);
    const testing::ShownDialog& shown = answerer.Shown()[0];
    EXPECT_EQ(shown.message, "Fails nav atrasts: RūDIS.DB");
    EXPECT_EQ(shown.caption, "NOX Test");
    EXPECT_EQ(shown.icon, StandardIcon(icon));
    EXPECT_EQ(shown.buttonNames, QStringList{"OK"});
  }
}

}  // namespace
}  // namespace nox::forms

namespace nox::forms {
namespace {

// The system's texts break lines with CR, and CR CR leaves an empty line: both message windows
// show them as the line breaks they are.
TEST(MessageLineBreaks, CarriageReturnsBreakLinesInBothMessageWindows) {
  const std::pair<const char*, const char*> cases[] = {
      {"one\rtwo", "one\ntwo"},
      {"changed.\r\rDo you", "changed.\n\nDo you"},
      {"dos\r\nline", "dos\nline"},
      {"plain", "plain"},
  };
  for (const auto& [text, shown] : cases) {
    {
      DialogAnswerer answerer;
      NoxMessageDlg(QString::fromLatin1(text), QString(), MsgDlgType::Error, 0, kButtonsOk);
      ASSERT_EQ(answerer.Shown().size(), 1u);
      EXPECT_EQ(answerer.Shown()[0].message, QString::fromLatin1(shown));
    }
    DialogAnswerer answerer(QStringLiteral("BtnOK"), QStringLiteral("LblSoob"));
    NoxMessageBox(QStringLiteral("Title"), QString::fromLatin1(text), 0, kSoobchenFirstButton,
                  kSoobchenOk);
    ASSERT_EQ(answerer.Shown().size(), 1u);
    EXPECT_EQ(answerer.Shown()[0].message, QString::fromLatin1(shown));
  }
}

// A message opens over the window the user is looking at, not behind it, and a splash kept on
// top gives way.
TEST(MessageInFront, MessageBelongsToTheModalDialogInFrontAndTheSplashGoes) {
  QWidget splash(nullptr, Qt::SplashScreen | Qt::WindowStaysOnTopHint);
  splash.show();
  QDialog front(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint);
  front.setModal(true);
  front.show();
  QWidget* parent = nullptr;
  bool onTop = false;
  {
    ScopedDialogTestHook hook([&](QDialog& dialog) -> QAbstractButton* {
      parent = dialog.parentWidget();
      onTop = dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
      return dialog.findChild<QPushButton*>(QStringLiteral("OK"));
    });
    NoxMessageDlg(QStringLiteral("Can't convert Source to itself!"), QString(), MsgDlgType::Error,
                  0, kButtonsOk);
  }
  EXPECT_EQ(parent, &front);
  EXPECT_TRUE(onTop);
  EXPECT_FALSE(splash.isVisible());
}

}  // namespace
}  // namespace nox::forms

#include "forms/message_box.h"

#include <gtest/gtest.h>

#include "tests/forms/dialog_probe.h"

namespace nox::forms {
namespace {

using testing::DialogAnswerer;

TEST(NoxMessageBox, ButtonSetsGiveTheirButtonsAndResults) {
  struct Case {
    int set;
    QStringList captions;
    QString press;  // empty: the close box
    int result;     // -1: any value other than 0 and 99
  };
  const Case cases[] = {
      {kSoobchenOk, {"OK"}, "BtnOK", 0},
      {kSoobchenOk, {"OK"}, "", kSoobchenClosed},
      {kSoobchenOkCancel, {"OK", "Cancel"}, "BtnOK", 0},
      {kSoobchenOkCancel, {"OK", "Cancel"}, "BtnCancel", -1},
      {kSoobchenOkCancel, {"OK", "Cancel"}, "", kSoobchenClosed},
      {kSoobchenYesNo, {"Yes", "No"}, "BtnOK", 0},
      {kSoobchenYesNo, {"Yes", "No"}, "BtnCancel", -1},
      {kSoobchenYesNo, {"Yes", "No"}, "", kSoobchenClosed},
      {7, {"OK"}, "BtnOK", 0},  // an unknown set offers OK alone
  };
  // One window serves every call: each case must find it set up afresh.
  for (const Case& c : cases) {
    SCOPED_TRACE(c.set);
    DialogAnswerer answerer(c.press, "LblSoob");
    const int result =
        NoxMessageBox("Title", "Laukumu KODS ir jāaizpilda!", 0, kSoobchenFirstButton, c.set);
    if (c.result == -1) {
      EXPECT_NE(result, 0);
      EXPECT_NE(result, kSoobchenClosed);
    } else {
      EXPECT_EQ(result, c.result);
    }
    ASSERT_EQ(answerer.Shown().size(), 1u);
    EXPECT_EQ(answerer.Shown()[0].buttonCaptions, c.captions);
    EXPECT_EQ(answerer.Shown()[0].message, "Laukumu KODS ir jāaizpilda!");
    EXPECT_EQ(answerer.Shown()[0].caption, "Title");
  }
}

TEST(NoxMessageBox, ButtonsSitAboutThePanelCentre) {
  struct Case {
    int set;
    QList<int> lefts;  // of the visible buttons, in panel coordinates
  };
  TFormSoobchen& form = FormSoobchen();
  const int panel = form.findChild<QWidget*>("Panel")->width();
  const int width = form.findChild<QPushButton*>("BtnOK")->width();
  const Case cases[] = {
      {kSoobchenOk, {(panel - width) / 2}},
      {kSoobchenOkCancel, {(panel - width) / 2 - 3 * (width / 4), (panel + width) / 2 - width / 4}},
      {kSoobchenYesNo, {(panel - width) / 2 - 3 * (width / 4), (panel + width) / 2 - width / 4}},
  };
  for (const Case& c : cases) {
    form.Prepare("T", "X", 1, kSoobchenFirstButton, c.set);
    QList<int> lefts;
    for (QPushButton* button : testing::VisibleButtonsLeftToRight(form))
      lefts << button->x();
    EXPECT_EQ(lefts, c.lefts) << c.set;
  }
  EXPECT_EQ(form.size(), QSize(229, 124));
  EXPECT_TRUE(form.findChild<QWidget*>("EditStroka")->isHidden());
}

TEST(NoxMessageBox, PreselectedButtonHasTheFocusAndIconComesFromTheList) {
  struct Case {
    int preselected;
    int set;
    QString focused;
  };
  const Case cases[] = {
      {kSoobchenFirstButton, kSoobchenYesNo, "BtnOK"},
      {kSoobchenSecondButton, kSoobchenYesNo, "BtnCancel"},
      {kSoobchenSecondButton, kSoobchenOk, "BtnOK"},  // hidden second button: focus stays
  };
  for (const Case& c : cases) {
    TFormSoobchen& form = FormSoobchen();
    form.setFocus();  // start from a neutral focus, as the reused window may hold any
    form.findChild<QPushButton*>("BtnOK")->setFocus();
    form.Prepare("T", "X", 0, c.preselected, c.set);
    EXPECT_EQ(form.focusWidget()->objectName(), c.focused) << c.preselected << " " << c.set;
  }
  for (int icon = 0; icon < 4; ++icon) {
    DialogAnswerer answerer("BtnOK", "LblSoob");
    NoxMessageBox("T", "X", icon, 0, kSoobchenOk);
    EXPECT_EQ(answerer.Shown().at(0).icon,
              FormSoobchen().ImageList().at(icon).pixmap(32, 32).toImage());
  }
  // The four pictures differ: warning, error, question, information.
  const QList<QIcon>& icons = FormSoobchen().ImageList();
  for (int a = 0; a < 4; ++a) {
    for (int b = a + 1; b < 4; ++b) {
      EXPECT_NE(icons[a].pixmap(32, 32).toImage(), icons[b].pixmap(32, 32).toImage());
    }
  }
}

TEST(NoxMessageBox, PressingAHiddenButtonIsRefused) {
  DialogAnswerer answerer("BtnCancel", "LblSoob");
  EXPECT_THROW(NoxMessageBox("T", "X", 0, 0, kSoobchenOk), std::logic_error);
}

}  // namespace
}  // namespace nox::forms

// The calculator window opened with Ctrl+K: the value it starts from, the transfer back into the
// calling field with the host's decimal separator, read-only fields, its keyboard, and the one
// calculator at a time.

#include "calc/form_calcul.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <functional>

#include "calc/open_calculator.h"
#include "forms/beeper.h"
#include "forms/modal.h"
#include "forms/nox_form.h"
#include "tests/support/host_test_support.h"

namespace nox::calc {
namespace {

using forms::CreateForm;
using forms::FormPtr;
using forms::TNoxForm;

QString Shown(QDialog& dialog, const char* name) {
  return dialog.findChild<QLabel*>(QString::fromLatin1(name))->text();
}
QPushButton* Button(QDialog& dialog, const char* name) {
  return dialog.findChild<QPushButton*>(QString::fromLatin1(name));
}

// Shows the calculator and gives it the keyboard. It is opened while its caller handles Ctrl+K,
// when the window system's activation does not reach the application: set it directly.
void Activate(QDialog& dialog) {
  dialog.show();
  QApplication::setActiveWindow(&dialog);
  ASSERT_TRUE(dialog.isActiveWindow());
}

// A calling window with one control; Ctrl+K on it runs the calculator through the hook.
class Caller {
 public:
  explicit Caller(QWidget* control) : form_(CreateForm<TNoxForm>()) {
    InstallCalculator();
    control->setParent(form_.get());
    form_->show();
    form_->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    control->setFocus();
    control_ = control;
  }

  // Presses Ctrl+K; the hook sees the calculator and gives the button that closes it.
  void CtrlK(const std::function<QAbstractButton*(QDialog&)>& hook) {
    forms::ScopedDialogTestHook scoped(hook);
    QTest::keyClick(control_, Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(ActiveCalculator(), nullptr);
  }

 private:
  FormPtr<TNoxForm> form_;
  QWidget* control_ = nullptr;
};

TEST(OpenCalculator, StartsFromTheFieldAndTransfersWithTheHostSeparator) {
  struct Case {
    const char* typed;  // into the calculator; empty: transfer what it shows
    const char* written;
  };
  const Case cases[] = {{"", "12,5"}, {"3", "3"}, {"0.25", "0,25"}, {"5z", "-5"}};
  const test::PinnedHostFormats formats(',');
  for (const Case& c : cases) {
    auto* edit = new QLineEdit(QStringLiteral("12,5"));
    Caller caller(edit);
    caller.CtrlK([&c](QDialog& dialog) -> QAbstractButton* {
      EXPECT_EQ(dialog.windowTitle(), "Kalkulators");
      EXPECT_EQ(Shown(dialog, "LblDisp"), " 12.5");
      Activate(dialog);
      QTest::keyClicks(dialog.focusWidget(), c.typed);
      return Button(dialog, "BtnCopy");
    });
    EXPECT_EQ(edit->text(), c.written) << c.typed;
  }
}

TEST(OpenCalculator, DataGridCellGoesBothWays) {
  const test::PinnedHostFormats formats(',');
  QStandardItemModel model(1, 1);
  model.setItem(0, 0, new QStandardItem(QStringLiteral("4,5")));
  auto* grid = new QTableView;
  grid->setModel(&model);
  grid->setCurrentIndex(model.index(0, 0));
  Caller caller(grid);
  caller.CtrlK([](QDialog& dialog) -> QAbstractButton* {
    EXPECT_EQ(Shown(dialog, "LblDisp"), " 4.5");
    Button(dialog, "BtnMult")->click();
    Button(dialog, "Btn2")->click();
    Button(dialog, "BtnEqual")->click();
    return Button(dialog, "BtnCopy");
  });
  EXPECT_EQ(model.item(0, 0)->text(), "9");
}

TEST(OpenCalculator, ReadOnlyFieldsOpenWithoutTransfer) {
  const test::PinnedHostFormats formats(',');
  auto* edit = new QLineEdit(QStringLiteral("7,5"));
  edit->setReadOnly(true);
  QStandardItemModel model(1, 1);
  auto* item = new QStandardItem(QStringLiteral("8,5"));
  item->setEditable(false);
  model.setItem(0, 0, item);
  auto* grid = new QTableView;
  grid->setModel(&model);
  grid->setCurrentIndex(model.index(0, 0));
  auto* button = new QPushButton;  // no value of its own

  const std::pair<QWidget*, const char*> cases[] = {
      {edit, " 7,5."}, {grid, " 8,5."}, {button, " 0."}};
  for (const auto& [control, display] : cases) {
    Caller caller(control);
    bool shown = false;
    caller.CtrlK([&, display = display](QDialog& dialog) -> QAbstractButton* {
      shown = true;
      EXPECT_EQ(Shown(dialog, "LblDisp"), display);
      EXPECT_FALSE(Button(dialog, "BtnCopy")->isEnabled());
      // Ins beeps instead of transferring.
      Activate(dialog);
      const int beeps = forms::BeepCount();
      QTest::keyClick(dialog.focusWidget(), Qt::Key_Insert);
      EXPECT_EQ(forms::BeepCount(), beeps + 1);
      EXPECT_TRUE(dialog.isVisible());
      return nullptr;
    });
    EXPECT_TRUE(shown);
    if (control == edit) {
      EXPECT_EQ(edit->text(), "7,5");
    }
  }
  EXPECT_EQ(item->text(), "8,5");
}

TEST(FormCalcul, KeyboardAndOneCalculatorAtATime) {
  const test::PinnedHostFormats formats;
  auto* edit = new QLineEdit;
  Caller caller(edit);
  caller.CtrlK([](QDialog& dialog) -> QAbstractButton* {
    Activate(dialog);
    auto& calculator = static_cast<TFormCalcul&>(dialog);
    EXPECT_EQ(ActiveCalculator(), &calculator);
    QTest::keyClicks(dialog.focusWidget(), "2+3");
    EXPECT_EQ(Shown(dialog, "LblB"), " 2.");
    EXPECT_FALSE(dialog.findChild<QLabel*>("ImgZn")->pixmap().isNull());
    QTest::keyClick(dialog.focusWidget(), Qt::Key_Return);
    EXPECT_EQ(Shown(dialog, "LblDisp"), " 5.");
    EXPECT_EQ(dialog.focusWidget(), Button(dialog, "BtnEqual"));
    QTest::keyClicks(dialog.focusWidget(), "sQ");
    EXPECT_EQ(Shown(dialog, "LblMem"), " 5.");
    EXPECT_EQ(Shown(dialog, "LblDisp"), " 2.236067977499");

    // Ctrl+K inside the calculator only beeps.
    const int beeps = forms::BeepCount();
    QTest::keyClick(dialog.focusWidget(), Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(forms::BeepCount(), beeps + 1);
    EXPECT_EQ(ActiveCalculator(), &calculator);

    // The clipboard both ways; Esc clears all.
    QTest::keyClick(dialog.focusWidget(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), " 2.236067977499");
    QTest::keyClick(dialog.focusWidget(), Qt::Key_Escape);
    EXPECT_EQ(Shown(dialog, "LblDisp"), " 0.");
    EXPECT_TRUE(dialog.findChild<QLabel*>("ImgZn")->pixmap().isNull());
    QApplication::clipboard()->setText(QStringLiteral("42."));
    QTest::keyClick(dialog.focusWidget(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Shown(dialog, "LblDisp"), "42.");
    return nullptr;
  });
  EXPECT_EQ(edit->text(), "");
}

}  // namespace
}  // namespace nox::calc

#include "forms/nox_form.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStyle>
#include <QTableView>
#include <QTest>
#include <stdexcept>
#include <utility>
#include <vector>

#include "forms/application.h"
#include "forms/form_services.h"
#include "forms/message_sink.h"
#include "forms/painters.h"
#include "tests/forms/dialog_probe.h"

namespace nox::forms {
namespace {

// A window that writes down which handler ran; the base's hooks show where the base handler ran.
class LoggingForm : public TNoxForm {
 public:
  explicit LoggingForm(QStringList* log, QString failIn = QString(), QWidget* parent = nullptr)
      : TNoxForm(parent), log_(log), failIn_(std::move(failIn)) {}
  CloseAction closeAnswer = CloseAction::caHide;

 protected:
  void FormCreate() override {
    TNoxForm::FormCreate();
    Note("Create");
  }
  void FormShow() override {
    TNoxForm::FormShow();
    Note("Show");
  }
  void FormClose(CloseAction& action) override {
    TNoxForm::FormClose(action);
    Note("Close");
    if (action != CloseAction::caNone) action = closeAnswer;
  }
  void FormDestroy() override {
    Note("Destroy");
    TNoxForm::FormDestroy();
  }
  void ChangeLanguage() override { Note("ChangeLanguage"); }
  void ApplyFieldSettings() override { Note("ApplyFieldSettings"); }
  void CheckRequiredFields(CloseAction& /*action*/) override { Note("CheckRequiredFields"); }
  void ShowCalculator() override { Note("ShowCalculator"); }
  void EditFieldSettings() override { Note("EditFieldSettings"); }

 private:
  void Note(const QString& step) {
    if (step == failIn_) throw std::runtime_error("Nav izdevies: " + step.toStdString());
    *log_ << step;
  }
  QStringList* log_;
  QString failIn_;
};

TEST(TNoxForm, HandlersRunInOrderBaseFirstAndDestroyBaseLast) {
  QStringList log;
  {
    FormPtr<LoggingForm> form = CreateForm<LoggingForm>(&log);
    EXPECT_EQ(form->LanguageIni(), "NoxReStr.Ini");
    EXPECT_TRUE(form->EnterToTab());
    form->show();
    form->close();
    EXPECT_FALSE(form->isVisible());
  }
  EXPECT_EQ(log, QStringList({"ChangeLanguage", "Create", "ApplyFieldSettings", "Show",
                              "CheckRequiredFields", "Close", "Destroy"}));
}

TEST(TNoxForm, CloseActionDecidesWhatHappensToTheWindow) {
  QStringList log;
  FormPtr<LoggingForm> kept = CreateForm<LoggingForm>(&log);
  kept->closeAnswer = CloseAction::caNone;
  kept->show();
  kept->close();
  EXPECT_TRUE(kept->isVisible());
  kept->done(QDialog::Accepted);  // a dialog result closes through FormClose as well
  EXPECT_TRUE(kept->isVisible());
  kept->closeAnswer = CloseAction::caHide;
  kept->done(QDialog::Accepted);
  EXPECT_FALSE(kept->isVisible());

  log.clear();
  QPointer<LoggingForm> freed = CreateForm<LoggingForm>(&log).release();
  freed->closeAnswer = CloseAction::caFree;
  freed->show();
  freed->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(freed.isNull());
  EXPECT_EQ(log.count("Destroy"), 1);
}

TEST(TNoxForm, ErrorInAHandlerIsReportedAndTheRestOfItSkipped) {
  struct Case {
    QString failIn;
    QStringList logAfterCreate;
  };
  const Case cases[] = {
      {"ChangeLanguage", {"Create"}},  // the base's sequence stops, the window's goes on
      {"Create", {"ChangeLanguage"}},
  };
  for (const Case& c : cases) {
    QStringList log;
    ScopedDialogMessages messages;  // as the program installs them
    testing::DialogAnswerer answerer;
    FormPtr<LoggingForm> form = CreateForm<LoggingForm>(&log, c.failIn);
    ASSERT_NE(form, nullptr);  // created all the same
    EXPECT_EQ(log, c.logAfterCreate);
    ASSERT_EQ(answerer.Shown().size(), 1u);
    EXPECT_EQ(answerer.Shown()[0].message, "Nav izdevies: " + c.failIn);
    EXPECT_EQ(answerer.Shown()[0].caption, "NOX Test");
  }
}

TEST(TNoxForm, DestroyRunsOnceForEveryWayAWindowGoes) {
  QStringList log;
  {
    ScopedDialogMessages messages;  // as the program installs them
    testing::DialogAnswerer answerer;
    CreateForm<LoggingForm>(&log, "Destroy").reset();
    ASSERT_EQ(answerer.Shown().size(), 1u);
    EXPECT_EQ(answerer.Shown()[0].message, "Nav izdevies: Destroy");
  }
  // A window owned by another runs its handler when the owner goes.
  FormPtr<LoggingForm> owner = CreateForm<LoggingForm>(&log);
  CreateForm<LoggingForm>(&log, QString(), owner.get()).release();
  log.clear();
  owner.reset();
  EXPECT_EQ(log, QStringList({"Destroy", "Destroy"}));
}

TEST(TNoxForm, KeyboardCommandsNeedExactlyCtrl) {
  struct Case {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    QStringList log;
  };
  const Case cases[] = {
      {Qt::Key_K, Qt::ControlModifier, {"ShowCalculator"}},
      {Qt::Key_S, Qt::ControlModifier, {"EditFieldSettings"}},
      {Qt::Key_K, Qt::ControlModifier | Qt::ShiftModifier, {}},
      {Qt::Key_S, Qt::NoModifier, {}},
  };
  QStringList log;
  FormPtr<LoggingForm> form = CreateForm<LoggingForm>(&log);
  auto* edit = new QLineEdit(form.get());
  form->show();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  edit->setFocus();
  for (const Case& c : cases) {
    log.clear();
    QTest::keyClick(edit, c.key, c.modifiers);
    EXPECT_EQ(log, c.log) << c.key;
  }
}

TEST(TNoxForm, CtrlShiftLThenWWritesTheTextsBack) {
  using Key = std::pair<Qt::Key, Qt::KeyboardModifiers>;
  const Qt::KeyboardModifiers controlShift = Qt::ControlModifier | Qt::ShiftModifier;
  struct Case {
    std::vector<Key> keys;
    int writes;
    QString buffer;
  };
  const Case cases[] = {
      {{{Qt::Key_L, controlShift}, {Qt::Key_W, controlShift}}, 1, "L"},
      {{{Qt::Key_L, controlShift}, {Qt::Key_W, controlShift}, {Qt::Key_W, controlShift}}, 2, "L"},
      {{{Qt::Key_L, controlShift}, {Qt::Key_W, Qt::NoModifier}}, 0, ""},
      {{{Qt::Key_L, controlShift}, {Qt::Key_X, controlShift}, {Qt::Key_W, controlShift}}, 0, ""},
      {{{Qt::Key_L, controlShift}, {Qt::Key_W, controlShift | Qt::AltModifier}}, 0, ""},
      {{{Qt::Key_L, Qt::ControlModifier}, {Qt::Key_W, controlShift}}, 0, ""},
      {{{Qt::Key_W, controlShift}}, 0, ""},
  };
  int writes = 0;
  InstalledServices().saveTranslation = [&writes](TNoxForm&) { ++writes; };
  QStringList log;
  FormPtr<LoggingForm> form = CreateForm<LoggingForm>(&log);
  auto* edit = new QLineEdit(form.get());
  form->show();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  edit->setFocus();
  int index = 0;
  for (const Case& c : cases) {
    writes = 0;
    QTest::keyClick(edit, Qt::Key_Escape);  // starts with an empty buffer
    for (const auto& [key, modifiers] : c.keys)
      QTest::keyClick(edit, key, modifiers);
    EXPECT_EQ(writes, c.writes) << "case " << index;
    EXPECT_EQ(form->KeySequence(), c.buffer) << "case " << index;
    ++index;
  }
  InstalledServices().saveTranslation = nullptr;
}

class FittingForm : public TNoxForm {
 public:
  using TNoxForm::FormResize;
};

TEST(TNoxForm, DataGridColumnsFitTheGridWidth) {
  FormPtr<FittingForm> form = CreateForm<FittingForm>();
  QStandardItemModel model(1, 2);
  const int scrollBar = form->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  struct Case {
    bool cutCols;
    bool rowIndicator;
    int first, second;
  };
  const Case cases[] = {
      {false, false, 200, 600},  // 804 to share: twice the columns with their borders
      {false, true, 200, 600},   // the row indicator takes a scroll bar's width less 4
      {true, false, 100, 300},   // cuts its columns itself
  };
  for (const Case& c : cases) {
    auto* grid = new QTableView(form.get());
    grid->setModel(&model);
    grid->setProperty("CharSetStyle", "cssAsLabel");  // the framework's data grid
    grid->setProperty("CutCols", c.cutCols);
    grid->verticalHeader()->setVisible(c.rowIndicator);
    grid->horizontalHeader()->resizeSection(0, 100);
    grid->horizontalHeader()->resizeSection(1, 300);
    grid->resize(804 + scrollBar + (c.rowIndicator ? scrollBar : 4), 100);
    form->FormResize();
    EXPECT_EQ(grid->horizontalHeader()->sectionSize(0), c.first);
    EXPECT_EQ(grid->horizontalHeader()->sectionSize(1), c.second);
    delete grid;
  }
}

TEST(TNoxForm, MultiDocumentAreaShowsTheBackgroundPicture) {
  FormPtr<TNoxForm> form = CreateForm<TNoxForm>();
  auto* area = new QMdiArea(form.get());
  area->setBackground(Qt::blue);
  area->resize(120, 120);
  form->resize(130, 130);
  form->show();
  const auto centre = [&] { return area->viewport()->grab().toImage().pixelColor(60, 60); };
  EXPECT_EQ(centre(), QColor(Qt::blue));  // no picture: the area's own brush
  QPixmap red(10, 10);
  red.fill(Qt::red);
  form->NoxFormFon()->SetPicture(red);
  EXPECT_EQ(centre(), QColor(Qt::red));
  form->NoxFormFon()->setEnabled(false);
  EXPECT_EQ(centre(), QColor(Qt::blue));
}

// A control whose event handler fails, as a table error raised in a click handler would.
class FailingWidget : public QWidget {
 protected:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::User)
      throw std::runtime_error(
          "Tabula aiz\xF2"
          "emta");
    return QWidget::event(event);
  }
};

TEST(GeneralErrorReport, ErrorReachingTheEventLoopIsShownAndTheProgramGoesOn) {
  ScopedDialogMessages messages;  // as the program installs them
  testing::DialogAnswerer answerer;
  FailingWidget widget;
  QEvent failing(QEvent::User);
  QCoreApplication::sendEvent(&widget, &failing);
  QCoreApplication::sendEvent(&widget, &failing);
  ASSERT_EQ(answerer.Shown().size(), 2u);
  EXPECT_EQ(answerer.Shown()[0].message, "Tabula aizņemta");  // Windows-1257 0xF2 is "ņ"
  EXPECT_EQ(answerer.Shown()[0].buttonNames, QStringList{"OK"});
  EXPECT_EQ(answerer.Shown()[0].caption, "NOX Test");
}

class EnterForm : public TNoxForm {
 public:
  EnterForm() {
    first = Add(new QLineEdit(this), 0);
    second = Add(new QLineEdit(this), 1);
    memo = Add(new QPlainTextEdit(this), 2);
    button = Add(new QPushButton("Go", this), 3);
    last = Add(new QLineEdit(this), 4);
    connect(button, &QPushButton::clicked, this, [this] { ++clicks; });
    resize(200, 200);
  }
  QLineEdit* first;
  QLineEdit* second;
  QPlainTextEdit* memo;
  QPushButton* button;
  QLineEdit* last;
  int clicks = 0;

 private:
  template <typename Widget>
  Widget* Add(Widget* widget, int row) {
    widget->setGeometry(5, 5 + 30 * row, 150, 25);
    return widget;
  }
};

TEST(TNoxForm, EnterMovesTheFocusLikeTab) {
  FormPtr<EnterForm> form = CreateForm<EnterForm>();
  form->show();
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));

  struct Case {
    QWidget* from;
    Qt::KeyboardModifiers modifiers;
    bool enterToTab;
    QWidget* to;
    int clicks;
  };
  const Case cases[] = {
      {form->first, Qt::NoModifier, true, form->second, 0},
      {form->second, Qt::ShiftModifier, true, form->first, 0},
      {form->first, Qt::NoModifier, false, form->first, 0},    // switched off
      {form->memo, Qt::NoModifier, true, form->memo, 0},       // a memo keeps its Enter
      {form->last, Qt::ShiftModifier, true, form->button, 0},  // lands on a button, presses nothing
      {form->button, Qt::NoModifier, true, form->button, 1},   // a focused button is pressed
  };
  int index = 0;
  for (const Case& c : cases) {
    form->SetEnterToTab(c.enterToTab);
    c.from->setFocus();
    form->clicks = 0;
    QTest::keyClick(c.from, Qt::Key_Return, c.modifiers);
    EXPECT_EQ(QApplication::focusWidget(), c.to) << "case " << index;
    EXPECT_EQ(form->clicks, c.clicks) << "case " << index;
    ++index;
  }
  EXPECT_EQ(form->memo->toPlainText(), "\n");

  // With a default button, Enter presses it and the focus stays.
  form->SetEnterToTab(true);
  form->button->setDefault(true);
  form->first->setFocus();
  form->clicks = 0;
  QTest::keyClick(form->first, Qt::Key_Return);
  EXPECT_EQ(QApplication::focusWidget(), form->first);
  EXPECT_EQ(form->clicks, 1);
}

}  // namespace
}  // namespace nox::forms

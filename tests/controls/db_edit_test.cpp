#include "controls/db_edit.h"

#include <gtest/gtest.h>

#include <QTest>

#include "controls/data_source.h"
#include "host/date_time.h"
#include "tables/table.h"
#include "tests/forms/dialog_probe.h"
#include "tests/support/host_test_support.h"
#include "tests/support/memory_storage.h"

namespace nox::controls {
namespace {

using forms::testing::DialogAnswerer;
using tables::FieldType;
using tables::Value;

// A window with the edit bound to a table of one record and a second control to leave it for.
struct EditWindow {
  test::PinnedHostFormats formats;
  tables::TTable table;
  TNoxDataSource source;
  QWidget window;
  TNoxDBEdit* edit = new TNoxDBEdit(&window);
  QLineEdit* other = new QLineEdit(&window);

  explicit EditWindow(const char* field) {
    table.OpenOnStorage(
        test::MakeMemoryStorage({{"CODE", FieldType::String, 6},
                                 {"AMOUNT", FieldType::Float, 0},
                                 {"NOTE", FieldType::String, 10}},
                                {}, {{Value::Text("OLD"), Value::Float(1), Value::Text("OLD")}}));
    table.First();
    source.SetDataSet(&table);
    edit->SetDataSource(&source);
    edit->SetDataField(field);
    window.resize(300, 100);
    edit->setGeometry(200, 10, 80, 24);
    other->setGeometry(10, 50, 80, 24);
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
  }
  // Types the text into the emptied edit and leaves it.
  void TypeAndLeave(const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
    other->setFocus();
  }
  std::string Stored(const char* field) { return table.FieldByName(field).AsString(); }
};

TEST(DBEdit, RangeCheckOnLeavingShowsTheMessageAndKeepsTheFocus) {
  const double first2003 = host::EncodeDate({2003, 1, 1});
  const double last2003 = host::EncodeDate({2003, 12, 31});
  struct Case {
    double min;
    double max;
    QString typed;
    bool fails;
  };
  const Case cases[] = {
      {1, 100, "150", true},
      {1, 100, "50", false},
      {1, 100, "abc", true},
      {1, 100, "0.5", true},
      {5, 0, "7", true},  // both bounds always apply
      {5, 0, "3", true},
      {0, 0, "abc", false},
      {1, 100, "   ", false},
      {first2003, last2003, "01.02.03", false},  // a date, read as dd.mm.yy
      {first2003, last2003, "01.02.04", true},
      {first2003, last2003, "31.02.03", true},  // no such date
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed.toStdString());
    EditWindow w("NOTE");
    w.edit->SetMin(c.min);
    w.edit->SetMax(c.max);
    w.edit->SetTxt("Out of range");
    w.edit->SetCapt("Amount");
    DialogAnswerer answerer("BtnOK", "LblSoob");
    w.TypeAndLeave(c.typed);
    ASSERT_EQ(answerer.Shown().size(), c.fails ? 1u : 0u);
    EXPECT_EQ(w.edit->hasFocus(), c.fails);
    if (c.fails) {
      EXPECT_EQ(answerer.Shown()[0].message, "Out of range");
      EXPECT_EQ(answerer.Shown()[0].caption, "Amount");
      EXPECT_EQ(answerer.Shown()[0].buttonCaptions, QStringList{"OK"});
      // Nothing out of range reaches the record, not even when it is stored right away.
      EXPECT_EQ(w.Stored("NOTE"), "OLD");
      EXPECT_FALSE(w.source.Post());
      EXPECT_EQ(w.Stored("NOTE"), "OLD");
    } else {
      EXPECT_TRUE(w.source.Post());
      EXPECT_EQ(w.Stored("NOTE"), c.typed.toStdString());
    }
  }
}

TEST(DBEdit, RightPadsNumbersAndCodesToTheTextFieldsSize) {
  struct Case {
    QString typed;
    std::string stored;
  };
  const Case cases[] = {
      {"0042", "    42"}, {"AB", "    AB"},  {"-007", "    -7"},
      {"+5", "     5"},   {"x12", "   x12"}, {"ABCDEF", "ABCDEF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed.toStdString());
    EditWindow w("CODE");
    w.edit->SetRight(true);
    w.TypeAndLeave(c.typed);
    ASSERT_TRUE(w.source.Post());
    EXPECT_EQ(w.Stored("CODE"), c.stored);
    EXPECT_EQ(w.edit->text().toStdString(), c.stored);
  }
}

TEST(DBEdit, WidensToMaxWidthWhileTypingAndGoesBackOnLeaving) {
  struct Case {
    int maxWidth;
    int parentWidth;
    QRect typing;  // while typing
  };
  const Case cases[] = {
      {0, 300, QRect(200, 10, 80, 24)},
      {90, 300, QRect(200, 10, 90, 24)},
      {150, 300, QRect(130, 10, 150, 24)},  // too narrow a parent: the right edge stays
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.maxWidth);
    EditWindow w("CODE");
    w.window.resize(c.parentWidth, 100);
    w.edit->SetMaxWidth(c.maxWidth);
    w.edit->setFocus();
    QTest::keyClick(w.edit, Qt::Key_A);
    EXPECT_EQ(w.edit->geometry(), c.typing);
    w.other->setFocus();
    EXPECT_EQ(w.edit->geometry(), QRect(200, 10, 80, 24));
  }
}

TEST(DBEdit, ANumberIsShownRightAlignedWhileTheEditHasNoFocus) {
  EditWindow w("AMOUNT");
  w.other->setFocus();
  EXPECT_EQ(w.edit->text(), "1");
  EXPECT_TRUE(w.edit->alignment() & Qt::AlignRight);
  w.edit->setFocus();
  EXPECT_TRUE(w.edit->alignment() & Qt::AlignLeft);
  w.other->setFocus();
  EXPECT_TRUE(w.edit->alignment() & Qt::AlignRight);
  EditWindow text("CODE");
  text.other->setFocus();
  EXPECT_TRUE(text.edit->alignment() & Qt::AlignLeft);
}

}  // namespace
}  // namespace nox::controls

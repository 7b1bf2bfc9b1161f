#include "desktop/form_conv_options.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "convert/workspace.h"
#include "forms/message_sink.h"
#include "forms/modal.h"
#include "tables/table.h"
#include "tests/forms/dialog_probe.h"
#include "tests/support/host_test_support.h"

namespace nox::forms {
namespace {

using convert::DescriptionLine;
using nox::test::CapturedMessages;
using tables::FieldType;
using testing::DialogAnswerer;

// A new description over CLIENTS.DBF and CUSTOMER.DBF (CODE, NAME, QTY) and the options window.
class FormConvOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.path().toStdString();
    for (const char* name : {"CLIENTS.DBF", "CUSTOMER.DBF"}) {
      tables::TTable table;
      table.SetDatabaseName(path);
      table.SetTableName(name);
      table.FieldDefs() = {{"CODE", FieldType::Integer},
                           {"NAME", FieldType::String, 20},
                           {"QTY", FieldType::Integer}};
      table.CreateTable();
    }
    ASSERT_TRUE(workspace.New(path + "/CLIENTS.DBF", path + "/CUSTOMER.DBF"));
    ASSERT_TRUE(workspace.LoadOk);
    ASSERT_FALSE(workspace.Modified);
  }

  void SetOption(DescriptionLine line, const std::string& value) {
    ASSERT_TRUE(workspace.CFile.SetValue(line, value));
  }
  std::string Line(DescriptionLine line) const {
    return workspace.CFile.lines[static_cast<std::size_t>(*workspace.CFile.LineIndex(line))];
  }
  std::vector<std::string> OptionLines() const {
    return {Line(DescriptionLine::PackFields), Line(DescriptionLine::ClearTarget),
            Line(DescriptionLine::Filter), Line(DescriptionLine::Latvian)};
  }

  void Show() {
    form = CreateForm<TFormConvOptions>(workspace);
    form->show();
  }
  template <typename T>
  T* Find(const char* name) {
    T* child = form->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  QCheckBox* Check(const char* name) { return Find<QCheckBox>(name); }
  QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }
  void PressOk() { Find<QPushButton>("BBOk")->click(); }
  // Replaces an entry's text as typing would.
  void Type(const char* name, const QString& text) {
    QLineEdit* edit = Edit(name);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    // keyClicks knows only ASCII keys: send each character as its own key's text.
    for (const QChar character : text)
      QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(character), Qt::NoModifier);
  }

  QTemporaryDir dir;
  CapturedMessages messages;
  convert::Workspace workspace;
  FormPtr<TFormConvOptions> form;
};

TEST_F(FormConvOptionsTest, ShowingFillsTheControlsFromTheOptionLines) {
  SetOption(DescriptionLine::PackFields, "QTY;");
  SetOption(DescriptionLine::ClearTarget, "true");
  SetOption(DescriptionLine::Filter, "CODE > 10");
  SetOption(DescriptionLine::Latvian, "FALSE");
  Show();

  EXPECT_EQ(form->windowTitle(), QStringLiteral("Convertation options"));
  EXPECT_EQ(Edit("EditPack")->text(), QStringLiteral("QTY;"));
  EXPECT_TRUE(Check("CBClearTarget")->isChecked());
  EXPECT_EQ(Edit("EditFilter")->text(), QStringLiteral("CODE > 10"));
  EXPECT_FALSE(Check("CBLatvian")->isChecked());
  EXPECT_EQ(Check("CBClearTarget")->text(), QStringLiteral("Clear Target before convertation"));
  EXPECT_EQ(Check("CBLatvian")->text(), QStringLiteral("Convert to Latvian"));
  // Typed options go into the description in its code page.
  EXPECT_NE(Edit("EditPack")->validator(), nullptr);
  EXPECT_NE(Edit("EditFilter")->validator(), nullptr);
  EXPECT_FALSE(form->OptionsChanged());
  EXPECT_TRUE(messages.texts.empty());
}

TEST_F(FormConvOptionsTest, FocusFollowsTheContextWhichIsThenCleared) {
  struct Case {
    const char* context;
    const char* focused;
  };
  for (const Case& c : {Case{"", "BBOk"}, Case{"FILTER", "EditFilter"}, Case{"PACK", "EditPack"}}) {
    workspace.DialogContext = c.context;
    Show();
    EXPECT_EQ(form->focusWidget(), Find<QWidget>(c.focused)) << c.context;
    EXPECT_TRUE(workspace.DialogContext.empty()) << c.context;
  }
}

TEST_F(FormConvOptionsTest, OkWithoutAChangeWritesNothing) {
  SetOption(DescriptionLine::Latvian, "FALSE");
  const std::vector<std::string> before = workspace.CFile.lines;
  form = CreateForm<TFormConvOptions>(workspace);
  ScopedDialogTestHook answer([](QDialog& dialog) -> QAbstractButton* {
    dialog.show();
    return dialog.findChild<QPushButton*>(QStringLiteral("BBOk"));
  });
  EXPECT_EQ(RunModal(*form), QDialog::Accepted);
  EXPECT_EQ(workspace.CFile.lines, before);
  EXPECT_FALSE(workspace.Modified);
  EXPECT_FALSE(workspace.Commands.save);
}

TEST_F(FormConvOptionsTest, AChangeUndoneStillCounts) {
  struct Case {
    const char* what;
    std::function<void()> changeAndBack;
  };
  const std::vector<Case> cases = {
      {"checkbox",
       [this] {
         Check("CBLatvian")->click();
         Check("CBLatvian")->click();
       }},
      {"entry",
       [this] {
         QTest::keyClick(Edit("EditFilter"), Qt::Key_X);
         QTest::keyClick(Edit("EditFilter"), Qt::Key_Backspace);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetOption(DescriptionLine::Latvian, "false");
    workspace.Modified = false;
    Show();
    c.changeAndBack();
    EXPECT_TRUE(form->OptionsChanged());
    PressOk();
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_TRUE(workspace.Modified);
    EXPECT_EQ(Line(DescriptionLine::Latvian), "LATVIAN=FALSE");  // rewritten in its own spelling
  }
}

TEST_F(FormConvOptionsTest, OkAfterAChangeWritesTheFourLines) {
  SetOption(DescriptionLine::Latvian, "FALSE");
  Show();
  Type("EditPack", QStringLiteral("QTY;NAME;"));
  Check("CBClearTarget")->click();
  Type("EditFilter", QStringLiteral("NAME = '\u0160'"));
  PressOk();

  EXPECT_EQ(form->result(), QDialog::Accepted);
  EXPECT_EQ(OptionLines(), (std::vector<std::string>{"PACKFIELDS:QTY;NAME;", "CLEARTARGET=TRUE",
                                                     "FILTER:NAME = '\xD0'", "LATVIAN=FALSE"}));
  EXPECT_EQ(workspace.EditPack, "QTY;NAME;");
  EXPECT_EQ(workspace.EditFilter, "NAME = '\xD0'");
  EXPECT_TRUE(workspace.Modified);
  EXPECT_TRUE(workspace.Commands.save);
  EXPECT_TRUE(messages.texts.empty());
}

TEST_F(FormConvOptionsTest, UnknownPackFieldKeepsTheWindowOpen) {
  ScopedDialogMessages shownInDialogs;
  struct Case {
    QString pack;
    std::string message;
  };
  const std::vector<Case> cases = {
      {QStringLiteral("QTY;PRICE"), "Field 'PRICE' not found"},
      {QStringLiteral(";QTY"), "Field '' not found"},
      {QStringLiteral("QTY;;NAME"), "Field '' not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pack.toStdString());
    Show();
    const std::vector<std::string> before = workspace.CFile.lines;
    Type("EditPack", c.pack);
    DialogAnswerer answerer;
    PressOk();

    ASSERT_EQ(answerer.Shown().size(), 1u);
    EXPECT_EQ(answerer.Shown()[0].message, QString::fromStdString(c.message));
    EXPECT_EQ(answerer.Shown()[0].buttonCaptions, QStringList{QStringLiteral("OK")});
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->result(), 0);
    EXPECT_EQ(workspace.CFile.lines, before);
    EXPECT_FALSE(workspace.Modified);
  }
}

TEST_F(FormConvOptionsTest, MalformedOptionLinesAreReportedAndNeverWritten) {
  const int options = workspace.CFile.FindSection("OPTIONS");
  SetOption(DescriptionLine::PackFields, "QTY");
  workspace.CFile.lines[static_cast<std::size_t>(options + 2)] = "CLEAR=TRUE";
  const std::vector<std::string> before = workspace.CFile.lines;
  Show();

  EXPECT_EQ(messages.texts, std::vector<std::string>{"Error in file!"});
  EXPECT_EQ(Edit("EditPack")->text(), QStringLiteral("QTY"));  // filled before the bad line
  EXPECT_FALSE(Check("CBClearTarget")->isChecked());
  EXPECT_TRUE(Edit("EditFilter")->text().isEmpty());

  // The lines are not where the options belong: a change is refused, the window stays open.
  Check("CBClearTarget")->click();
  PressOk();
  EXPECT_EQ(messages.texts.size(), 2u);
  EXPECT_EQ(messages.texts.back(), "Error in file!");
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(workspace.CFile.lines, before);
  EXPECT_FALSE(workspace.Modified);

  // Unchanged, OK just closes.
  Show();
  PressOk();
  EXPECT_EQ(form->result(), QDialog::Accepted);
  EXPECT_EQ(workspace.CFile.lines, before);
  EXPECT_FALSE(workspace.Modified);
}

}  // namespace
}  // namespace nox::forms

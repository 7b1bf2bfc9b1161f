// The formula editor on a workspace over real dBase tables: what it opens with, insertion at the
// remembered caret, and what OK accepts.

#include "desktop/form_func.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <string>
#include <vector>

#include "convert/workspace.h"
#include "forms/message_sink.h"
#include "formula/named_window.h"
#include "tables/table.h"
#include "tests/forms/dialog_probe.h"

namespace nox::forms {
namespace {

using tables::FieldType;
using tables::TTable;
using tables::Value;
using testing::DialogAnswerer;

// A source CLIENTS.DBF (CODE, NAME; one record 7, "Client") and a target PARTNERS.DBF (CODE,
// NAME, TOTAL) with the field relation CODE and the formula relation TOTAL = CODE*2.
class FormFuncTest : public ::testing::Test {
 protected:
  FormFuncTest() {
    CreateTable("CLIENTS.DBF", {{"CODE", FieldType::Integer}, {"NAME", FieldType::String, 20}},
                true);
    CreateTable("PARTNERS.DBF",
                {{"CODE", FieldType::Integer},
                 {"NAME", FieldType::String, 20},
                 {"TOTAL", FieldType::Integer}},
                false);
    EXPECT_TRUE(workspace.New(Path("CLIENTS.DBF"), Path("PARTNERS.DBF")));
    EXPECT_TRUE(workspace.LoadOk);
    workspace.AddFieldRelation(workspace.SGSource.Find("CODE"), workspace.SGTarget.Find("CODE"));
    EXPECT_TRUE(
        workspace.SetFormulaRelation(workspace.SGTarget.Find("TOTAL"), std::nullopt, "CODE*2"));
  }

  std::string Path(const char* name) const { return dir.path().toStdString() + "/" + name; }

  void CreateTable(const char* name, std::vector<tables::FieldDef> fields, bool withRecord) {
    TTable table;
    table.SetDatabaseName(dir.path().toStdString());
    table.SetTableName(name);
    table.FieldDefs() = std::move(fields);
    table.CreateTable();
    if (!withRecord) return;
    table.Open();
    table.Append();
    table.FieldByName("CODE").SetValue(Value::Integer(7));
    table.FieldByName("NAME").SetValue(Value::Text("Client"));
    table.Post();
    table.Close();
  }

  // The editor for a free target field, as the main window creates it.
  void OpenOnFreeTarget() {
    workspace.SGTargetClick(workspace.SGTarget.Find("NAME"));
    editor = CreateForm<TFormFunc>(workspace, &mainWindow);
  }

  template <typename T>
  T* Find(const char* name) {
    T* child = editor->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  QLineEdit* EditFunc() { return Find<QLineEdit>("EditFunc"); }
  QStringList Items(const char* list) {
    QStringList items;
    auto* widget = Find<QListWidget>(list);
    for (int i = 0; i < widget->count(); ++i)
      items << widget->item(i)->text();
    return items;
  }

  QTemporaryDir dir;
  convert::Workspace workspace;
  formula::TableWindow mainWindow{"MainForm", {&workspace.TableSource, &workspace.TableTarget}};
  FormPtr<TFormFunc> editor;
};

TEST_F(FormFuncTest, OpensOnTheSelectedRelation) {
  struct Case {
    const char* name;
    std::function<void(convert::Workspace&)> select;
    QString heading;
    std::string formula;
  };
  const std::vector<Case> cases = {
      {"field relation", [](convert::Workspace& w) { w.SGRelatClick(0); }, "CODE", ""},
      {"formula relation", [](convert::Workspace& w) { w.SGRelatClick(1); }, "TOTAL", "CODE*2"},
      {"free target", [](convert::Workspace& w) { w.SGTargetClick(w.SGTarget.Find("NAME")); },
       "NAME", ""},
  };
  for (const Case& c : cases) {
    c.select(workspace);
    editor = CreateForm<TFormFunc>(workspace, &mainWindow);
    EXPECT_EQ(Find<QLabel>("LblTField")->text(), c.heading) << c.name;
    EXPECT_EQ(editor->Formula(), c.formula) << c.name;
    EXPECT_FALSE(Find<QPushButton>("BtnInsField")->isEnabled()) << c.name;
    EXPECT_FALSE(Find<QPushButton>("BtnInsFunc")->isEnabled()) << c.name;
  }
}

TEST_F(FormFuncTest, ListsAreSortedWithoutRegardToCase) {
  OpenOnFreeTarget();
  EXPECT_EQ(Items("LBSFields"), QStringList({"CODE", "NAME"}));
  const QStringList functions = Items("LBFunctions");
  EXPECT_EQ(functions.size(), 45);
  EXPECT_TRUE(functions.contains(QStringLiteral("\"\"")));
  for (int i = 1; i < functions.size(); ++i) {
    EXPECT_LE(QString::compare(functions[i - 1], functions[i], Qt::CaseInsensitive), 0)
        << functions[i - 1].toStdString() << " / " << functions[i].toStdString();
  }
  // Case decides nothing: "Day( )" comes before "DTOC( )".
  EXPECT_LT(functions.indexOf("Day( )"), functions.indexOf("DTOC( )"));
}

TEST_F(FormFuncTest, InsertsWhereTheCaretWasWhenTheFormulaLostTheFocus) {
  struct Case {
    QString typed;
    int caret;
    const char* list;
    const char* button;
    QString item;
    QString expected;
  };
  const std::vector<Case> cases = {
      {"AB", 1, "LBSFields", "BtnInsField", "NAME", "ANAMEB"},
      {"", 0, "LBFunctions", "BtnInsFunc", "AllTrim()", "AllTrim()"},
      {"X+", 2, "LBFunctions", "BtnInsFunc", "\"\"", "X+\"\""},
      {"+1", 0, "LBSFields", "BtnInsField", "CODE", "CODE+1"},
  };
  for (const Case& c : cases) {
    OpenOnFreeTarget();
    QLineEdit* edit = EditFunc();
    QTest::keyClicks(edit, c.typed);
    edit->setCursorPosition(c.caret);
    QFocusEvent focusOut(QEvent::FocusOut, Qt::MouseFocusReason);
    QCoreApplication::sendEvent(edit, &focusOut);
    // Moving the caret while the edit has no focus does not move the insertion point.
    edit->setCursorPosition(0);

    auto* list = Find<QListWidget>(c.list);
    auto* insert = Find<QPushButton>(c.button);
    list->findItems(c.item, Qt::MatchExactly).front()->setSelected(true);
    ASSERT_TRUE(insert->isEnabled()) << c.item.toStdString();
    insert->click();

    EXPECT_EQ(edit->text(), c.expected);
    EXPECT_EQ(edit->cursorPosition(), c.caret + c.item.size()) << c.item.toStdString();
    EXPECT_TRUE(list->selectedItems().isEmpty());
    EXPECT_FALSE(insert->isEnabled());
  }
}

TEST_F(FormFuncTest, DoubleClickInsertsAfterThePreviousInsertion) {
  OpenOnFreeTarget();
  editor->show();
  auto* fields = Find<QListWidget>("LBSFields");
  fields->findItems("CODE", Qt::MatchExactly).front()->setSelected(true);
  editor->BtnInsFieldClick();

  auto* functions = Find<QListWidget>("LBFunctions");
  QListWidgetItem* plus = functions->findItems("+", Qt::MatchExactly).front();
  functions->scrollToItem(plus);
  // A double click arrives as a click followed by the double-click event.
  const QPoint at = functions->visualItemRect(plus).center();
  QTest::mouseClick(functions->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(functions->viewport(), Qt::LeftButton, {}, at);

  EXPECT_EQ(editor->Formula(), "CODE+");
  EXPECT_EQ(EditFunc()->cursorPosition(), 5);
  EXPECT_FALSE(Find<QPushButton>("BtnInsFunc")->isEnabled());
}

TEST_F(FormFuncTest, OkAcceptsOnlyAFormulaThatYieldsAValue) {
  struct Case {
    QString formula;
    bool accepted;
    QString shown;  // the message shown, empty for none
  };
  const std::vector<Case> cases = {
      {"CODE*2", true, ""},
      // A name the source does not have is a text.
      {"NOSUCHFIELD", true, ""},
      {"NAME+7", false, "Can not evaluate expression:\n\nClient+7"},
      // An error raised by the test is reported; the formula is not taken.
      {"1/0", false, "Division by zero"},
      // Text set by the program bypasses the typing guard; it must not reach the description.
      {QStringLiteral("'\u4e2d'"), false,
       "The formula holds the character U+4E2D, which the Windows-1257 code page has no byte "
       "for."},
  };
  const ScopedDialogMessages dialogs;
  for (const Case& c : cases) {
    OpenOnFreeTarget();
    const DialogAnswerer answerer;
    EditFunc()->setText(c.formula);
    Find<QPushButton>("BBOk")->click();

    const std::string name = c.formula.toStdString();
    EXPECT_EQ(editor->result() == QDialog::Accepted, c.accepted) << name;
    EXPECT_EQ(EditFunc()->text(), c.formula) << name;
    if (c.shown.isEmpty()) {
      EXPECT_TRUE(answerer.Shown().empty()) << name;
    } else {
      ASSERT_EQ(answerer.Shown().size(), 1u) << name;
      EXPECT_EQ(answerer.Shown()[0].message, c.shown) << name;
    }
  }
}

TEST_F(FormFuncTest, EnterTestsAndAcceptsEscapeCancels) {
  for (const auto& [key, result] : {std::pair{Qt::Key_Return, QDialog::Accepted},
                                    std::pair{Qt::Key_Escape, QDialog::Rejected}}) {
    OpenOnFreeTarget();
    editor->SetFormula("1+1");
    editor->show();
    QTest::keyClick(EditFunc(), key);
    EXPECT_EQ(editor->result(), result) << key;
    EXPECT_FALSE(editor->isVisible()) << key;
  }
}

}  // namespace
}  // namespace nox::forms

// The formula wizard on a real dBase source: the lists of a translation and a calculation, the
// value, and the hand-over to the formula editor.

#include "desktop/form_memo.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "convert/workspace.h"
#include "desktop/form_func.h"
#include "forms/message_sink.h"
#include "forms/modal.h"
#include "formula/named_window.h"
#include "tables/table.h"
#include "tests/forms/dialog_probe.h"

namespace nox::forms {
namespace {

using tables::FieldType;
using tables::TTable;
using tables::Value;
using testing::DialogAnswerer;

// The workspace's source CLIENTS.DBF (CODE, NAME) open on its one record 7, "Client".
class FormMemoTest : public ::testing::Test {
 protected:
  FormMemoTest() {
    TTable table;
    table.SetDatabaseName(dir.path().toStdString());
    table.SetTableName("CLIENTS.DBF");
    table.FieldDefs() = {{"CODE", FieldType::Integer}, {"NAME", FieldType::String, 20}};
    table.CreateTable();
    table.Open();
    table.Append();
    table.FieldByName("CODE").SetValue(Value::Integer(7));
    table.FieldByName("NAME").SetValue(Value::Text("Client"));
    table.Post();
    table.Close();
    workspace.TableSource.SetDatabaseName(dir.path().toStdString());
    workspace.TableSource.SetTableName("CLIENTS.DBF");
    workspace.TableSource.Open();
  }

  void OpenFromMenu() { wizard = CreateForm<TFormMemo>(workspace, &mainWindow, nullptr); }

  template <typename T>
  static T* Find(QObject& form, const char* name) {
    T* child = form.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  // "token:tag" for every row of the two lists, separated by spaces.
  std::string Rows() {
    auto* tokens = Find<QListWidget>(*wizard, "LBaStr");
    auto* tags = Find<QListWidget>(*wizard, "LBaTip");
    EXPECT_EQ(tokens->count(), tags->count());
    QStringList rows;
    for (int i = 0; i < tokens->count() && i < tags->count(); ++i)
      rows << tokens->item(i)->text() + ":" + tags->item(i)->text();
    return rows.join(' ').toStdString();
  }
  void Type(const QString& formula) { Find<QLineEdit>(*wizard, "Edit")->setText(formula); }

  QTemporaryDir dir;
  convert::Workspace workspace;
  formula::TableWindow mainWindow{"MainForm", {&workspace.TableSource}};
  FormPtr<TFormMemo> wizard;
};

TEST_F(FormMemoTest, CalculateReducesTheTranslatedLists) {
  OpenFromMenu();
  Type("2+3*4");
  wizard->ButtonClick();
  EXPECT_EQ(Rows(), "2:Par +:+ 3:Par *:* 4:Par");
  wizard->BtnCalcClick();
  EXPECT_EQ(Rows(), "14:Par");
  EXPECT_TRUE(Find<QLineEdit>(*wizard, "EditRez")->text().isEmpty());
}

TEST_F(FormMemoTest, CalculateLeavesTheStuckTokensAfterItsMessage) {
  const ScopedDialogMessages dialogs;
  const DialogAnswerer answerer;
  OpenFromMenu();
  Type("NAME+1");
  wizard->ButtonClick();
  EXPECT_EQ(Rows(), "NAME:Pole +:+ 1:Par");
  wizard->BtnCalcClick();
  EXPECT_EQ(Rows(), "Client:Str +:+ 1:Par");
  ASSERT_EQ(answerer.Shown().size(), 1u);
  EXPECT_EQ(answerer.Shown()[0].message, "Can not evaluate expression:\n\nClient+1");
}

TEST_F(FormMemoTest, TransCalcShowsTheValue) {
  struct Case {
    QString formula;
    QString value;
    int messages;
  };
  const std::vector<Case> cases = {
      {"2+3*4", "14", 0},
      {"CODE*2", "14", 0},
      {"NAME", "Client", 0},
      {"NAME+CODE", "!!!ERROR!!!", 1},
      // The error is reported and no earlier value is left standing.
      {"1/0", "", 1},
  };
  const ScopedDialogMessages dialogs;
  OpenFromMenu();
  for (const Case& c : cases) {
    const DialogAnswerer answerer;
    Type(c.formula);
    wizard->BtnTransCalcClick();
    EXPECT_EQ(Find<QLineEdit>(*wizard, "EditRez")->text(), c.value) << c.formula.toStdString();
    EXPECT_EQ(answerer.Shown().size(), static_cast<std::size_t>(c.messages));
  }
}

TEST_F(FormMemoTest, FromTheMenuApplyIsUnavailable) {
  for (const char* context : {"", "VIZARD"}) {
    workspace.DialogContext = context;
    OpenFromMenu();
    EXPECT_FALSE(Find<QPushButton>(*wizard, "BBApply")->isEnabled()) << context;
    EXPECT_TRUE(Find<QLineEdit>(*wizard, "Edit")->text().isEmpty()) << context;
    EXPECT_TRUE(workspace.DialogContext.empty()) << context;
  }
  // Enter translates.
  EXPECT_TRUE(Find<QPushButton>(*wizard, "Button")->isDefault());
  EXPECT_FALSE(Find<QPushButton>(*wizard, "BBApply")->isDefault());
  Find<QPushButton>(*wizard, "BitBtn1")->click();
  EXPECT_EQ(wizard->result(), QDialog::Accepted);
}

TEST_F(FormMemoTest, FromTheEditorApplyHandsTheFormulaBack) {
  auto editor = CreateForm<TFormFunc>(workspace, &mainWindow);
  editor->SetFormula("CODE+1");
  QString shownFormula;
  bool applyOffered = false;
  std::string contextWhileOpen = "unread";
  int result = -1;
  {
    const ScopedDialogTestHook hook([&](QDialog& dialog) -> QAbstractButton* {
      shownFormula = Find<QLineEdit>(dialog, "Edit")->text();
      applyOffered = Find<QPushButton>(dialog, "BBApply")->isEnabled();
      contextWhileOpen = workspace.DialogContext;
      Find<QLineEdit>(dialog, "Edit")->setText("CODE*3");
      QObject::connect(&dialog, &QDialog::finished, [&](int r) { result = r; });
      return Find<QPushButton>(dialog, "BBApply");
    });
    editor->BBToolClick();
  }
  EXPECT_EQ(shownFormula, "CODE+1");
  EXPECT_TRUE(applyOffered);
  EXPECT_EQ(contextWhileOpen, "");
  EXPECT_EQ(result, QDialog::Accepted);
  EXPECT_EQ(editor->Formula(), "CODE*3");
}

}  // namespace
}  // namespace nox::forms

#include "forms/field_settings.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDateEdit>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "forms/form_settings.h"
#include "forms/message_sink.h"
#include "tables/file_lock.h"
#include "tables/table.h"
#include "tests/forms/dialog_probe.h"
#include "tests/support/host_test_support.h"
#include "tests/support/temp_dir.h"

namespace nox::forms {
namespace {

// A window with fields on two tab pages; EditName has two labels, EditHidden is hidden by design.
class FieldsForm : public TNoxForm {
 public:
  FieldsForm() {
    setObjectName(QStringLiteral("FormFields"));
    setWindowTitle(QStringLiteral("Klienti"));
    auto* pages = new QTabWidget(this);
    pages->setObjectName(QStringLiteral("PageControl"));
    auto* first = new QWidget;
    first->setObjectName(QStringLiteral("TabFirst"));
    auto* second = new QWidget;
    second->setObjectName(QStringLiteral("TabSecond"));
    pages->addTab(first, QStringLiteral("1"));
    pages->addTab(second, QStringLiteral("2"));
    auto* firstLayout = new QVBoxLayout(first);
    auto* secondLayout = new QVBoxLayout(second);
    const auto field = [](QWidget* edit, const char* name, QVBoxLayout* layout) {
      edit->setObjectName(QString::fromLatin1(name));
      layout->addWidget(edit);
      return edit;
    };
    const auto label = [](const char* name, const QString& caption, QWidget* buddy,
                          QVBoxLayout* layout) {
      auto* text = new QLabel(caption);
      text->setObjectName(QString::fromLatin1(name));
      text->setBuddy(buddy);
      layout->addWidget(text);
    };
    QWidget* code = field(new QLineEdit, "EditCode", firstLayout);
    label("LblCode", QStringLiteral("&Kods"), code, firstLayout);
    field(new QDateEdit, "EditDate", firstLayout);
    field(new QLineEdit, "EditHidden", firstLayout)->hide();
    QWidget* name = field(new QLineEdit, "EditName", secondLayout);
    label("LblName", QStringLiteral("Vārds"), name, secondLayout);
    label("LblName2", QStringLiteral("Nosaukums"), name, secondLayout);
    field(new QPlainTextEdit, "MemoNote", secondLayout);
    (new QVBoxLayout(this))->addWidget(pages);
  }
};

FieldSetting Row(const char* recv, bool visible, bool enabled, bool required,
                 const char* condition = "") {
  FieldSetting row;
  row.formName = "FormFields";
  row.recv = recv;
  row.recvDesc = recv;
  row.visible = visible;
  row.enabled = enabled;
  row.required = required;
  row.condition = condition;
  return row;
}

// Clicks the "required" box of EditName's row in the editor.
void ToggleRequired(TFormSettings& editor) {
  for (int row = 0; row < static_cast<int>(editor.Rows().size()); ++row) {
    if (editor.Rows()[static_cast<std::size_t>(row)].recv != "EditName") continue;
    editor.RowPanel(row)->findChild<QCheckBox*>("DBCheckBox3")->click();
  }
}

class FieldSettingsTest : public ::testing::Test {
 protected:
  FieldSettingsTest() : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(dir_.path());
  }
  ~FieldSettingsTest() override { std::filesystem::current_path(previous_); }

  static void Store(const std::vector<FieldSetting>& rows) {
    tables::TTable table;
    EnsureFormSetTable(table, "FormFields");
    for (const FieldSetting& row : rows) {
      table.Append();
      WriteFieldSetting(table, row);
      table.Post();
    }
    table.Close();
  }
  static std::vector<FieldSetting> Stored() {
    tables::TTable table;
    EnsureFormSetTable(table, "FormFields");
    std::vector<FieldSetting> rows;
    for (table.First(); !table.Eof(); table.Next())
      rows.push_back(ReadFieldSetting(table));
    table.Close();
    return rows;
  }
  static const FieldSetting* Find(const std::vector<FieldSetting>& rows, std::string_view recv) {
    for (const FieldSetting& row : rows) {
      if (row.recv == recv) return &row;
    }
    return nullptr;
  }

  test::TempDir dir_;
  std::filesystem::path previous_;
};

TEST_F(FieldSettingsTest, ShowAppliesTheRowsWithoutConditionToFieldsAndLabels) {
  FieldSetting hidden = Row("EditCode", false, true, false);
  hidden.recvLabel = "LblCode";
  Store({hidden, Row("EditDate", true, false, false, "KODS>1"), Row("EditGone", false, false, true),
         Row("MemoNote", true, false, false)});
  testing::DialogAnswerer errors;
  FormPtr<FieldsForm> form = CreateForm<FieldsForm>();
  form->show();
  EXPECT_TRUE(errors.Shown().empty());
  const auto* code = form->findChild<QWidget*>("EditCode");
  EXPECT_TRUE(code->isHidden());
  EXPECT_TRUE(form->findChild<QWidget*>("LblCode")->isHidden());
  EXPECT_TRUE(form->findChild<QWidget*>("EditDate")->isEnabled());  // its row has a condition
  EXPECT_FALSE(form->findChild<QWidget*>("MemoNote")->isEnabled());
  // The label's caption of the moment is the description.
  EXPECT_EQ(Find(Stored(), "EditCode")->recvDesc, "Kods");
}

TEST_F(FieldSettingsTest, ABlankRequiredFieldKeepsTheWindowOpenOnItsPage) {
  struct Case {
    const char* name;
    FieldSetting row;
    QString messageText;  // the window's LblMesRequiredField
    QString filled;       // EditName's text
    QString shown;        // the message, empty when the window closes
  };
  FieldSetting named = Row("EditName", true, true, true);
  named.recvDesc = "V\xE2rds";  // as stored: Windows-1257
  const Case cases[] = {
      {"message with %S", named, QString::fromUtf8(kRequiredFieldMessage), "",
       "Laukumu 'Vārds' ir jāaizpilda!"},
      {"translated without %S", named, "Aizpildiet!", "", "Aizpildiet!"},
      {"filled", named, QString::fromUtf8(kRequiredFieldMessage), "Jānis", ""},
      {"hidden", Row("EditName", false, true, true), QString::fromUtf8(kRequiredFieldMessage), "",
       ""},
      {"conditioned", Row("EditName", true, true, true, "X"),
       QString::fromUtf8(kRequiredFieldMessage), "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove("FormSet.db");
    std::filesystem::remove("FormSet.px");
    Store({c.row});
    FormPtr<FieldsForm> form = CreateForm<FieldsForm>();
    form->LblMesRequiredField()->setText(c.messageText);
    auto* name = form->findChild<QLineEdit*>("EditName");
    name->setText(c.filled);
    form->show();
    testing::DialogAnswerer answerer(QStringLiteral("BtnOK"), QStringLiteral("LblSoob"));
    form->close();
    if (c.shown.isEmpty()) {
      EXPECT_FALSE(form->isVisible());
      EXPECT_TRUE(answerer.Shown().empty());
      continue;
    }
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(answerer.Shown().size(), 1u);
    EXPECT_EQ(answerer.Shown()[0].message, c.shown);
    EXPECT_EQ(answerer.Shown()[0].caption, "Klienti");
    EXPECT_EQ(form->findChild<QTabWidget*>("PageControl")->currentIndex(), 1);
    EXPECT_EQ(form->focusWidget(), name);
  }
}

TEST_F(FieldSettingsTest, TheEditorKeepsOnlyDeviationsAndAddsEachLabelOnce) {
  Store({Row("EditDate", true, true, false, "KODS>1"), Row("MemoNote", true, true, true, "X")});
  testing::DialogAnswerer errors;
  FormPtr<FieldsForm> form = CreateForm<FieldsForm>();
  form->show();
  const auto openEditor = [&](const std::function<void(TFormSettings&)>& change) {
    FormPtr<TFormSettings> editor = CreateForm<TFormSettings>(form.get());
    editor->SetTarget(form.get());
    editor->show();
    change(*editor);
    editor->close();
    return editor->Rows();
  };
  // First: one row per visible edit field; EditName made required.
  const std::vector<FieldSetting> first = openEditor(ToggleRequired);
  std::vector<std::string> names;
  for (const FieldSetting& row : first)
    names.push_back(row.recv);
  std::sort(names.begin(), names.end());  // the tab pages reorder their children
  EXPECT_EQ(names, (std::vector<std::string>{"EditCode", "EditDate", "EditName", "MemoNote"}));
  // The conditioned row with default flags goes; the other conditioned row and EditName stay.
  std::vector<FieldSetting> stored = Stored();
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0].recv, "EditName");
  EXPECT_EQ(stored[0].recvLabel, "LblName");
  EXPECT_EQ(stored[0].recvLabels, "LblName2;");
  EXPECT_EQ(stored[0].recvDesc, "V\xE2rds");
  EXPECT_TRUE(stored[0].required);
  EXPECT_EQ(stored[1].recv, "MemoNote");

  // Second, unchanged: no second row, no label twice; the current field is painted meanwhile.
  QLineEdit* name = form->findChild<QLineEdit*>("EditName");
  QLabel* label = form->findChild<QLabel*>("LblName");
  const QColor base = name->palette().color(QPalette::Base);
  openEditor([&](TFormSettings& editor) {
    const auto at = std::find_if(editor.Rows().begin(), editor.Rows().end(),
                                 [](const FieldSetting& row) { return row.recv == "EditName"; });
    editor.SetCurrentRow(static_cast<int>(at - editor.Rows().begin()));
    EXPECT_EQ(name->palette().color(QPalette::Base), QColor(Qt::yellow));
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(Qt::yellow));
    editor.SetCurrentRow(at == editor.Rows().begin() ? 1 : 0);
    EXPECT_EQ(name->palette().color(QPalette::Base), base);
  });
  EXPECT_EQ(Stored(), stored);

  // Third: EditName no longer required, so its row goes.
  openEditor(ToggleRequired);
  stored = Stored();
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_EQ(stored[0].recv, "MemoNote");
  EXPECT_TRUE(errors.Shown().empty());
}

TEST_F(FieldSettingsTest, ALockedTableIsNamedAndLeftAsItWas) {
  FieldSetting hidden = Row("EditCode", false, true, false);
  hidden.recvLabel = "LblCode";
  Store({hidden});
  const auto bytes = [] {
    std::ostringstream content;
    content << std::ifstream("FormSet.db", std::ios::binary).rdbuf();
    return content.str();
  };
  const std::string before = bytes();
  FieldsForm form;
  form.findChild<QLabel*>("LblCode")->setText("Cits");
  {
    const tables::FileLock other("FormSet.db", tables::OpenMode::Exclusive);
    try {
      ApplyFieldSettings(form);
      ADD_FAILURE() << "a locked FormSet.db was read";
    } catch (const tables::TableError& error) {
      EXPECT_NE(std::string(error.what()).find("FormSet.db"), std::string::npos) << error.what();
    }
    // The window itself still shows and closes: an unattended run must not stop on it.
    test::CapturedMessages messages;
    form.show();
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.close());
    ASSERT_EQ(messages.texts.size(), 2u) << "one report at the show, one at the close";
    EXPECT_NE(messages.texts[1].find("FormSet.db"), std::string::npos) << messages.texts[1];
  }
  EXPECT_EQ(bytes(), before);
}

// Another program reading FormSet.db while the editor closes: the rows it would write and delete
// stay as they were, and the message names the table.
TEST_F(FieldSettingsTest, TheEditorLeavesATableAnotherProgramHoldsAsItWas) {
  Store({Row("EditDate", true, true, false, "KODS>1")});  // changes nothing: the editor deletes it
  const auto bytes = [] {
    std::ostringstream content;
    content << std::ifstream("FormSet.db", std::ios::binary).rdbuf();
    return content.str();
  };
  const std::string before = bytes();
  FormPtr<FieldsForm> form = CreateForm<FieldsForm>();
  form->show();
  for (const bool changed : {false, true}) {
    SCOPED_TRACE(changed);
    FormPtr<TFormSettings> editor = CreateForm<TFormSettings>(form.get());
    editor->SetTarget(form.get());
    editor->show();
    if (changed) ToggleRequired(*editor);
    ScopedDialogMessages messages;  // as the program installs them
    testing::DialogAnswerer answerer;
    {
      const tables::FileLock other("FormSet.db", tables::OpenMode::Shared);
      editor->close();
    }
    ASSERT_EQ(answerer.Shown().size(), 1u);
    EXPECT_EQ(answerer.Shown()[0].message,
              "Table 'FormSet.db' is locked by another program and cannot be changed");
    EXPECT_EQ(bytes(), before);
  }
}

// Where the file system has no hard links, the new table is written into a file created
// exclusively. Either way the new table is locked before anybody can reach it, opens sound with
// FormSet.db's fields and key, and leaves neither a lock nor scratch files behind.
TEST_F(FieldSettingsTest, WithoutHardLinksTheNewTableIsCopiedIntoPlace) {
  static bool lockedWhenPlaced = false;
  const struct Restore {
    HardLinkFunction previous;
    ~Restore() { SetFormSetHardLink(previous); }
  } restore{SetFormSetHardLink([](const char* existing, const char*) {
    try {
      const tables::FileLock reader(existing, tables::OpenMode::Shared);
    } catch (const tables::TableError&) {
      lockedWhenPlaced = true;
    }
    errno = EPERM;
    return -1;
  })};
  tables::TTable table;
  EnsureFormSetTable(table, "FormFields");
  EXPECT_TRUE(lockedWhenPlaced);
  EXPECT_EQ(table.Storage()->faults(), "");
  EXPECT_EQ(table.FieldCount(), 10);
  EXPECT_EQ(table.IndexDefs().at(0).fields, "FormName;FormCondition;Recv");
  EXPECT_THROW(tables::FileLock("FormSet.db", tables::OpenMode::Exclusive), tables::TableError);
  table.Close();
  const tables::FileLock alone("FormSet.db", tables::OpenMode::Exclusive);
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator("."))
    files.push_back(entry.path().filename().string());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"FormSet.db", "FormSet.px"}));
}

}  // namespace
}  // namespace nox::forms

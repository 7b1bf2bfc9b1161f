#include "controls/combo_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include "forms/fonts.h"
#include "tables/table.h"
#include "tests/forms/dialog_probe.h"

namespace nox::controls {
namespace {

using forms::testing::DialogAnswerer;

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString& path, const QByteArray& content) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(content);
}

// A window holding the combo and a second control to leave it for.
struct ComboWindow {
  QWidget window;
  TNoxComboBox* combo = new TNoxComboBox(&window);
  QLineEdit* other = new QLineEdit(&window);

  ComboWindow() {
    window.setWindowTitle(QStringLiteral("Orders"));
    combo->setObjectName(QStringLiteral("CBCode"));
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(combo);
    layout->addWidget(other);
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
  }
  void Leave() {
    combo->setFocus();
    other->setFocus();
  }
};

class ComboBoxTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
};

TEST_F(ComboBoxTest, LoadStylesFindTheListFile) {
  const QString programFile = QDir(QCoreApplication::applicationDirPath()).filePath("CODES.MNU");
  QFile::remove(programFile);
  WriteFile(Path("LIST.TXT"), "01 - First\r\n02 - Second\r\n");
  tables::TTable aliasTable;
  aliasTable.SetDatabaseName(dir.path().toStdString());
  struct Case {
    TLoadStyle style;
    QString sourceFile;
    tables::TTable* table;
    QString fullPath;  // empty: not file-backed
    QStringList items;
  };
  const Case cases[] = {
      // Only the file name counts; a missing file is created empty in the program's directory.
      {TLoadStyle::lsFromExePath, "C:\\NOWHERE\\CODES", nullptr, programFile, {}},
      {TLoadStyle::lsFromFilePath,
       Path("LIST.TXT"),
       nullptr,
       Path("LIST.TXT"),
       {"01 - First", "02 - Second"}},
      {TLoadStyle::lsFromAliasPath,
       "LIST.TXT",
       &aliasTable,
       Path("LIST.TXT"),
       {"01 - First", "02 - Second"}},
      {TLoadStyle::lsStandart, Path("LIST.TXT"), nullptr, "", {"stored"}},
      {TLoadStyle::lsNone, Path("LIST.TXT"), nullptr, "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.sourceFile.toStdString());
    TNoxComboBox combo;
    combo.SetItems({"stored"});
    combo.SetLoadStyle(c.style);
    combo.SetSourceFile(c.sourceFile);
    combo.SetAlFromTable(c.table);
    combo.Loaded();
    EXPECT_EQ(combo.ListFile().FileBacked(), !c.fullPath.isEmpty());
    if (!c.fullPath.isEmpty()) {
      EXPECT_EQ(QFileInfo(combo.ListFile().FullPath()), QFileInfo(c.fullPath));
    }
    EXPECT_EQ(combo.Items(), c.items);
  }
  EXPECT_EQ(ReadFile(programFile), "");
  QFile::remove(programFile);
}

TEST_F(ComboBoxTest, AFileThatCannotBeCreatedIsReportedAndTheControlWorksWithoutIt) {
  ComboWindow w;
  w.combo->SetLoadStyle(TLoadStyle::lsFromFilePath);
  w.combo->SetSourceFile(Path("missing/CODES"));
  w.combo->SetItems({"kept"});
  DialogAnswerer answerer("BtnOK", "LblSoob");
  w.combo->Loaded();
  ASSERT_EQ(answerer.Shown().size(), 1u);
  EXPECT_EQ(answerer.Shown()[0].message, "Can not create file " + Path("missing/CODES.MNU"));
  EXPECT_EQ(answerer.Shown()[0].caption, "Orders");
  EXPECT_FALSE(w.combo->ListFile().FileBacked());
  EXPECT_EQ(w.combo->Items(), QStringList{"kept"});
  EXPECT_FALSE(w.combo->ListFile().AddText("new"));
}

TEST_F(ComboBoxTest, FilterKeepsTheLinesItsFormulaAccepts) {
  WriteFile(Path("F.MNU"), "Apple\r\nBanana\r\nAvocado\r\nCherry");
  struct Case {
    QString filter;
    QStringList items;
  };
  const Case cases[] = {
      {"SUBSTR(%S,1,1)=\"A\"", {"Apple", "Avocado"}},
      {"", {"Apple", "Banana", "Avocado", "Cherry"}},
      {"LENGTH(%S)>5", {"Banana", "Avocado", "Cherry"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.filter.toStdString());
    TNoxComboBox combo;
    combo.SetLoadStyle(TLoadStyle::lsFromFilePath);
    combo.SetSourceFile(Path("F"));
    combo.SetFilter(c.filter);
    combo.Loaded();
    EXPECT_EQ(combo.Items(), c.items);
  }
}

TEST_F(ComboBoxTest, LeavingCutsTheTextToItsCode) {
  struct Case {
    QString text;
    int maxLength;
    bool right;
    QString left;
  };
  const Case cases[] = {
      {"01 - First", 4, true, "  01"},       {"  7-Seven", 4, false, "7"},
      {"ABCDEF", 4, false, "ABCD"},          {"ABCDEF", 4, true, "ABCD"},
      {"01 - First", 0, true, "01 - First"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    ComboWindow w;
    w.combo->SetItems({c.text});
    w.combo->SetMaxLength(c.maxLength);
    w.combo->SetRight(c.right);
    w.combo->setFocus();
    QTest::keyClick(w.combo, Qt::Key_Down);  // takes the first line
    w.Leave();
    EXPECT_EQ(w.combo->text(), c.left);
  }
}

TEST_F(ComboBoxTest, AddAppendsANewLineOnceAndIgnoresADuplicate) {
  WriteFile(Path("A.MNU"), "Apple\r\nBanana");  // no line break after the last line
  ComboWindow w;
  w.combo->SetLoadStyle(TLoadStyle::lsFromFilePath);
  w.combo->SetSourceFile(Path("A"));
  w.combo->Loaded();
  QAction* add = w.combo->ListFile().PopupMenu()->actions().at(0);
  struct Case {
    QString text;
    QByteArray file;
  };
  const Case cases[] = {
      {"BANANA", "Apple\r\nBanana"},
      {"Cherry", "Apple\r\nBanana\r\nCherry\r\n"},
      {"cherry", "Apple\r\nBanana\r\nCherry\r\n"},
  };
  for (const Case& c : cases) {
    w.combo->setText(c.text);
    add->trigger();
    EXPECT_EQ(ReadFile(Path("A.MNU")), c.file) << c.text.toStdString();
  }
  EXPECT_EQ(w.combo->Items(), QStringList({"Apple", "Banana", "Cherry"}));
  // A double-click asks first; No adds nothing.
  w.combo->setText("Date");
  {
    DialogAnswerer answerer("BtnCancel", "LblSoob");
    QTest::mouseDClick(w.combo, Qt::LeftButton);
    ASSERT_EQ(answerer.Shown().size(), 1u);
    EXPECT_EQ(answerer.Shown()[0].message, "Add string to list?");
  }
  DialogAnswerer yes("BtnOK", "LblSoob");
  QTest::mouseDClick(w.combo, Qt::LeftButton);
  EXPECT_EQ(ReadFile(Path("A.MNU")), "Apple\r\nBanana\r\nCherry\r\nDate\r\n");
}

TEST_F(ComboBoxTest, TheListEditorAsksBeforeItDropsOrSavesChanges) {
  struct Case {
    const char* end;     // "ok", "cancel" or "elsewhere"
    const char* answer;  // the button pressed in the question
    QString question;
    QByteArray file;
  };
  const QByteArray before = "Apple\r\nAvocado\r\nBanana\r\n";
  const QByteArray edited = "Banana\r\nApple\r\nApricot\r\n";  // the hidden line stays
  const Case cases[] = {
      {"elsewhere", "BtnCancel", "Cancel changes?", edited},
      {"elsewhere", "BtnOK", "Cancel changes?", before},
      {"cancel", "BtnCancel", "Cancel changes?", edited},
      {"ok", "BtnOK", "Save changes?", edited},
      {"ok", "BtnCancel", "Save changes?", before},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.end) + " " + c.answer);
    WriteFile(Path("E.MNU"), before);
    ComboWindow w;
    w.combo->SetLoadStyle(TLoadStyle::lsFromFilePath);
    w.combo->SetSourceFile(Path("E.MNU"));
    w.combo->SetFilter("SUBSTR(%S,1,1)=\"A\"");
    w.combo->Loaded();
    w.combo->ListFile().PopupMenu()->actions().at(1)->trigger();
    TListEditor* editor = w.combo->ListFile().Editor();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(editor->isVisible());
    EXPECT_EQ(editor->Memo()->objectName(), "MemoEditFromCBCode");
    EXPECT_EQ(editor->Memo()->toPlainText(), "Apple\nAvocado");
    editor->Memo()->selectAll();
    QTest::keyClicks(editor->Memo(), "Apple");
    QTest::keyClick(editor->Memo(), Qt::Key_Return);
    QTest::keyClicks(editor->Memo(), "Apricot");
    DialogAnswerer answerer(c.answer, "LblSoob");
    if (std::string_view(c.end) == "ok") {
      QTest::mouseClick(editor->OkButton(), Qt::LeftButton);
    } else if (std::string_view(c.end) == "cancel") {
      QTest::mouseClick(editor->CancelButton(), Qt::LeftButton);
    } else {
      // The editor holds the mouse: a click on another control reaches it first, outside it.
      const QPoint elsewhere = editor->mapFromGlobal(w.combo->mapToGlobal(QPoint(5, 5)));
      QTest::mouseClick(editor, Qt::LeftButton, {}, elsewhere);
    }
    EXPECT_FALSE(editor->isVisible());
    ASSERT_EQ(answerer.Shown().size(), 1u);
    EXPECT_EQ(answerer.Shown()[0].message, c.question);
    EXPECT_EQ(ReadFile(Path("E.MNU")), c.file);
    EXPECT_EQ(w.combo->Items(), c.file == before ? QStringList({"Apple", "Avocado"})
                                                 : QStringList({"Apple", "Apricot"}));
  }
}

TEST_F(ComboBoxTest, MessagesComeFromTheListWithBuiltInFallbacks) {
  ComboWindow w;
  w.combo->setProperty("Messages", QStringList({"NOXCBADDSTRINGTOLIST=Pievienot sarakstam?",
                                                "NoxCBPopupMenu_1= ", "NoxCBPopupMenu_2=Labot"}));
  WriteFile(Path("M.MNU"), "");
  w.combo->SetLoadStyle(TLoadStyle::lsFromFilePath);
  w.combo->SetSourceFile(Path("M"));
  w.combo->Loaded();
  QMenu* menu = w.combo->ListFile().PopupMenu();
  QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(2, 2),
                          w.combo->mapToGlobal(QPoint(2, 2)));
  QApplication::sendEvent(w.combo, &click);
  ASSERT_TRUE(menu->isVisible());
  EXPECT_EQ(menu->actions().at(0)->text(), "Add");
  EXPECT_EQ(menu->actions().at(1)->text(), "Labot");
  menu->hide();
  w.combo->setText("x");
  DialogAnswerer answerer("BtnCancel", "LblSoob");
  QTest::mouseDClick(w.combo, Qt::LeftButton);
  ASSERT_EQ(answerer.Shown().size(), 1u);
  EXPECT_EQ(answerer.Shown()[0].message, "Pievienot sarakstam?");
  EXPECT_EQ(forms::ControlLanguageClass(*w.combo), forms::LanguageClass::Edit);
}

}  // namespace
}  // namespace nox::controls

#include "desktop/main_form.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "convert/run_status.h"
#include "convert/workspace.h"
#include "forms/file_dialog.h"
#include "forms/message_dialog.h"
#include "forms/modal.h"
#include "tables/table.h"
#include "tests/forms/dialog_probe.h"
#include "tests/support/host_test_support.h"

namespace nox::forms {
namespace {

using tables::FieldType;
using tables::TTable;
using tables::Value;
using testing::DialogAnswerer;

const QString kProgram = QStringLiteral("NOX Base Convertation");

// Answers every file dialog from a queue of paths (an empty entry cancels) and keeps the titles.
class FileAnswers {
 public:
  explicit FileAnswers(std::vector<QString> answers)
      : answers_(answers.begin(), answers.end()),
        hook_([this](const FileDialogSpec& spec) -> std::optional<QString> {
          specs.push_back(spec);
          if (answers_.empty()) return std::nullopt;
          QString answer = answers_.front();
          answers_.pop_front();
          if (answer.isEmpty()) return std::nullopt;
          return answer;
        }) {}
  std::vector<FileDialogSpec> specs;

 private:
  std::deque<QString> answers_;
  ScopedFileDialogTestHook hook_;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A dBase source CLIENTS.DBF (CODE, NAME, CITY) with three records and a Paradox target
// CUSTOMER.DB (CODE, NAME, CITY, NOTE), and descriptions over them.
class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    TTable source;
    source.SetDatabaseName(Dir());
    source.SetTableName("CLIENTS.DBF");
    source.FieldDefs() = {{"CODE", FieldType::Integer},
                          {"NAME", FieldType::String, 20},
                          {"CITY", FieldType::String, 10}};
    source.CreateTable();
    source.Open();
    for (int code = 1; code <= 3; ++code) {
      source.Append();
      source.FieldByName("CODE").SetValue(Value::Integer(code));
      source.FieldByName("NAME").SetValue(Value::Text("Client " + std::to_string(code)));
      source.FieldByName("CITY").SetValue(Value::Text("Riga"));
      source.Post();
    }
    source.Close();
    TTable target;
    target.SetDatabaseName(Dir());
    target.SetTableName("CUSTOMER.DB");
    target.FieldDefs() = {{"CODE", FieldType::Integer, 0, true},
                          {"NAME", FieldType::String, 20},
                          {"CITY", FieldType::String, 10},
                          {"NOTE", FieldType::String, 30}};
    target.IndexDefs() = {{"", "CODE", tables::ixPrimary}};
    target.CreateTable();
  }

  std::string Dir() const { return dir.path().toStdString(); }
  std::string Path(const char* name) const { return Dir() + "/" + name; }
  std::string SourcePath() const { return Path("CLIENTS.DBF"); }
  std::string TargetPath() const { return Path("CUSTOMER.DB"); }

  // Writes a description with the field relation CODE and the formula relation NOTE.
  std::string WriteDescription(const char* name, const std::string& targetPath) {
    convert::Workspace workspace;
    EXPECT_TRUE(workspace.New(SourcePath(), TargetPath()));
    workspace.AddFieldRelation(0, 0);
    EXPECT_TRUE(workspace.SetFormulaRelation(3, std::nullopt, "'n'"));
    EXPECT_TRUE(workspace.CFile.SetValue(convert::DescriptionLine::Target, targetPath));
    EXPECT_TRUE(workspace.SaveAs(Path(name)));
    return Path(name);
  }
  std::string WriteDescription(const char* name = "sales.cnv") {
    return WriteDescription(name, TargetPath());
  }

  void MakeForm(std::vector<std::string> arguments = {}) {
    MainFormStart start;
    start.arguments = std::move(arguments);
    start.busyWait = false;
    start.closeSplash = [this] { ++splashClosed; };
    start.linkService = "NOXMAINFORMTEST";
    form = CreateForm<TMainForm>(std::move(start));
  }
  // The main window on the description, shown as the user sees it.
  void Open(std::vector<std::string> arguments) {
    MakeForm(std::move(arguments));
    form->show();
    ASSERT_TRUE(form->Workspace().LoadOk);
  }

  template <typename T>
  T* Find(const char* name) {
    T* child = form->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  QTableWidget* Grid(const char* name) { return Find<QTableWidget>(name); }
  int Selected(const char* grid) {
    const QList<QTableWidgetItem*> items = Grid(grid)->selectedItems();
    return items.isEmpty() ? -1 : items.front()->row();
  }
  void Click(const char* gridName, int row) {
    QTableWidget* grid = Grid(gridName);
    const QRect cell = grid->visualRect(grid->model()->index(row, 1));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
  }
  // The lists scroll by whole rows: the scroll bar's value is the top row.
  static int TopRow(QTableWidget& grid) { return grid.verticalScrollBar()->value(); }
  std::vector<std::string> Lines() const { return form->Workspace().CFile.lines; }
  bool HasLine(const std::string& line) const {
    const std::vector<std::string> lines = Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  QTemporaryDir dir;
  FormPtr<TMainForm> form;
  int splashClosed = 0;
};

// --- Relation editing ---

enum class Event { SourceRow, TargetRow, RelationRow, Add, Delete };

struct Step {
  const char* what;
  Event event;
  int row;
  // Expected afterwards: enabled Add/Delete/Function, the one default button ("" none) and the
  // selected rows of the source, target and relation lists.
  bool add, del, function;
  const char* defaultButton;
  int source, target, relation;
};

TEST_F(MainFormTest, ButtonStatesFollowTheListEventsOneByOne) {
  Open({WriteDescription()});
  // Source: CODE (linked), NAME, CITY. Target: CODE (linked), NAME, CITY, NOTE (formula).
  // Relations: CODE <--> CODE, < Func > <--> NOTE, then the empty row.
  const Step steps[] = {
      {"loaded", Event::SourceRow, -1, false, false, false, "", -1, -1, -1},
      {"free source, no target", Event::SourceRow, 1, false, false, false, "", 1, -1, -1},
      {"free target, source picked", Event::TargetRow, 1, true, false, true, "BBAdd", 1, 1, -1},
      {"add NAME", Event::Add, 0, false, true, false, "BBDelete", 1, 1, 2},
      {"formula relation", Event::RelationRow, 1, false, true, true, "BBFunction", -1, 3, 1},
      {"empty relation row", Event::RelationRow, 3, false, false, false, "", -1, -1, 3},
      {"linked source", Event::SourceRow, 0, false, true, false, "BBDelete", 0, 0, 0},
      {"free target after link", Event::TargetRow, 2, false, false, true, "", -1, 2, -1},
      {"linked formula target", Event::TargetRow, 3, false, true, true, "BBFunction", -1, 3, 1},
      {"free source after link", Event::SourceRow, 2, false, false, true, "BBFunction", 2, -1, -1},
      {"free target, source picked", Event::TargetRow, 2, true, false, true, "BBAdd", 2, 2, -1},
      {"field relation", Event::RelationRow, 0, false, true, false, "BBDelete", 0, 0, 0},
      {"delete CODE", Event::Delete, 0, true, false, true, "BBFunction", 0, 0, -1},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    switch (step.event) {
      case Event::SourceRow:
        if (step.row >= 0) Click("SGSource", step.row);
        break;
      case Event::TargetRow:
        Click("SGTarget", step.row);
        break;
      case Event::RelationRow:
        Click("SGRelat", step.row);
        break;
      case Event::Add:
        Find<QPushButton>("BBAdd")->click();
        break;
      case Event::Delete:
        Find<QPushButton>("BBDelete")->click();
        break;
    }
    EXPECT_EQ(Find<QPushButton>("BBAdd")->isEnabled(), step.add);
    EXPECT_EQ(Find<QPushButton>("BBDelete")->isEnabled(), step.del);
    EXPECT_EQ(Find<QPushButton>("BBFunction")->isEnabled(), step.function);
    QString shownDefault;
    for (const char* name : {"BBAdd", "BBDelete", "BBFunction"}) {
      if (Find<QPushButton>(name)->isDefault()) shownDefault += QString::fromLatin1(name);
    }
    EXPECT_EQ(shownDefault, QString::fromLatin1(step.defaultButton));
    EXPECT_EQ(Selected("SGSource"), step.source);
    EXPECT_EQ(Selected("SGTarget"), step.target);
    EXPECT_EQ(Selected("SGRelat"), step.relation);
  }
  EXPECT_TRUE(HasLine("NAME to NAME"));
  EXPECT_FALSE(HasLine("CODE to CODE"));
  EXPECT_EQ(Grid("SGSource")->item(0, 0)->text(), QStringLiteral(" "));
  EXPECT_EQ(Grid("SGSource")->item(1, 0)->text(), QString(QChar(0x2022)));
}

TEST_F(MainFormTest, AddDeleteAndFunctionChangeTheDescriptionAndTheLists) {
  Open({WriteDescription()});
  QTableWidget* relations = Grid("SGRelat");
  QLineEdit* editFunc = Find<QLineEdit>("EditFunc");

  Click("SGSource", 2);
  Click("SGTarget", 2);
  QTest::keyClick(Grid("SGTarget"), Qt::Key_Return);  // Enter in a list presses the default: Add
  EXPECT_TRUE(HasLine("CITY to CITY"));
  EXPECT_EQ(relations->rowCount(), 4);
  EXPECT_EQ(relations->item(2, 0)->text(), QStringLiteral("CITY"));
  EXPECT_EQ(relations->item(2, 1)->text(), QStringLiteral("<-->"));
  EXPECT_EQ(editFunc->text(), QStringLiteral("<default>"));
  EXPECT_TRUE(Find<QAction>("Save1")->isEnabled());

  // Function on the formula relation: the editor's formula replaces the line in place.
  Click("SGRelat", 1);
  std::vector<QString> headings;
  {
    ScopedDialogTestHook editor([&](QDialog& dialog) -> QAbstractButton* {
      auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("EditFunc"));
      EXPECT_EQ(edit->text(), QStringLiteral("'n'"));
      edit->setText(QStringLiteral("'Note'"));
      return dialog.findChild<QPushButton*>(QStringLiteral("BBOk"));
    });
    QTest::mouseDClick(editFunc, Qt::LeftButton);  // double-click runs Function
  }
  const std::vector<std::string> lines = Lines();
  const auto relationsAt =
      static_cast<std::size_t>(form->Workspace().CFile.FindSection("RELATIONS"));
  ASSERT_GT(lines.size(), relationsAt + 3);
  EXPECT_EQ(lines[relationsAt + 2], "< Func > to NOTE  < Func >='Note'");
  EXPECT_EQ(editFunc->text(), QStringLiteral("'Note'"));
  EXPECT_EQ(editFunc->palette().color(QPalette::Text), QColor(Qt::white));
  EXPECT_EQ(Find<QListWidget>("LBFunc")->item(1)->text(), QStringLiteral("'Note'"));

  // A cancelled editor changes nothing.
  {
    ScopedDialogTestHook cancel([](QDialog& dialog) -> QAbstractButton* {
      dialog.findChild<QLineEdit*>(QStringLiteral("EditFunc"))->setText(QStringLiteral("'x'"));
      return dialog.findChild<QPushButton*>(QStringLiteral("BBCancel"));
    });
    Find<QPushButton>("BBFunction")->click();
  }
  EXPECT_EQ(Lines(), lines);

  // Delete the field relation CITY: its line and marks go, the pair is offered again.
  Click("SGRelat", 2);
  Find<QPushButton>("BBDelete")->click();
  EXPECT_FALSE(HasLine("CITY to CITY"));
  EXPECT_EQ(relations->rowCount(), 3);
  EXPECT_EQ(Grid("SGSource")->item(2, 0)->text(), QStringLiteral(" "));
  EXPECT_EQ(Grid("SGTarget")->item(2, 0)->text(), QStringLiteral(" "));
  EXPECT_TRUE(Find<QPushButton>("BBAdd")->isEnabled());
  EXPECT_EQ(editFunc->text(), QString());
}

TEST_F(MainFormTest, ScrollingBringsTheSelectedRelationIntoView) {
  // The CITY relation between thirty formula relations: far more than the list shows.
  convert::Workspace writer;
  ASSERT_TRUE(writer.New(SourcePath(), TargetPath()));
  for (int i = 0; i < 31; ++i)
    writer.CFile.lines.push_back(i == 15 ? "CITY to CITY" : "< Func > to NOTE  < Func >='x'");
  ASSERT_TRUE(writer.SaveAs(Path("long.cnv")));
  Open({Path("long.cnv")});
  QTableWidget* relations = Grid("SGRelat");
  ASSERT_LT(relations->rowAt(relations->viewport()->height() - 1), 15);

  // Relation 15 becomes the top row when it lies above the top row or more than 3 rows below.
  const struct {
    int top;
    int expected;
  } cases[] = {{0, 15}, {11, 15}, {12, 12}, {15, 15}, {16, 15}};
  for (const auto& c : cases) {
    for (const char* list : {"SGSource", "SGTarget"}) {
      SCOPED_TRACE(std::string(list) + " from top row " + std::to_string(c.top));
      Click("SGRelat", 31);  // the empty row: nothing selected
      relations->verticalScrollBar()->setValue(c.top);
      Click(list, 2);  // CITY, linked by relation 15
      EXPECT_EQ(Selected("SGRelat"), 15);
      EXPECT_EQ(TopRow(*relations), c.expected);
    }
  }
}

// F00 ... F29.
std::string WideField(int i) {
  return std::string("F").append(std::to_string(100 + i).substr(1));
}

// Thirty-field tables WIDE.DBF and WIDET.DBF: the field lists show far fewer rows.
TEST_F(MainFormTest, ScrollingBringsPartnersAndNewRelationsIntoView) {
  for (const char* name : {"WIDE.DBF", "WIDET.DBF"}) {
    TTable table;
    table.SetDatabaseName(Dir());
    table.SetTableName(name);
    for (int i = 0; i < 30; ++i)
      table.FieldDefs().push_back({WideField(i), FieldType::Integer});
    table.CreateTable();
  }
  // F20 to F20 first, then formula relations for the targets F00 to F19.
  convert::Workspace writer;
  ASSERT_TRUE(writer.New(Path("WIDE.DBF"), Path("WIDET.DBF")));
  writer.CFile.lines.push_back("F20 to F20");
  for (int i = 0; i < 20; ++i)
    writer.CFile.lines.push_back(
        std::string("< Func > to ").append(WideField(i)).append("  < Func >=1"));
  ASSERT_TRUE(writer.SaveAs(Path("wide.cnv")));
  Open({Path("wide.cnv")});
  QTableWidget* source = Grid("SGSource");
  QTableWidget* target = Grid("SGTarget");
  QTableWidget* relations = Grid("SGRelat");
  ASSERT_LT(source->rowAt(source->viewport()->height() - 1), 20);

  // Selecting relation 0 selects field 20 in both lists; a list scrolls it to the top when it
  // lies above the top row or more than 5 rows below it.
  const struct {
    int top;
    int expected;
  } cases[] = {{0, 20}, {14, 20}, {15, 15}, {20, 20}, {21, 20}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string("from top row ").append(std::to_string(c.top)));
    for (QTableWidget* list : {source, target})
      list->verticalScrollBar()->setValue(c.top);
    relations->verticalScrollBar()->setValue(0);
    Click("SGRelat", 0);
    EXPECT_EQ(Selected("SGSource"), 20);
    EXPECT_EQ(Selected("SGTarget"), 20);
    EXPECT_EQ(TopRow(*source), c.expected);
    EXPECT_EQ(TopRow(*target), c.expected);
  }

  // A new relation far below the top row is scrolled up towards the third visible row, as far
  // as the list goes: it is the last relation, so it ends up in view near the bottom.
  relations->verticalScrollBar()->setValue(0);
  form->SGSourceClick(25);
  form->SGTargetClick(25);
  form->BBAddClick();
  EXPECT_EQ(Selected("SGRelat"), 21);
  EXPECT_EQ(TopRow(*relations), std::min(19, relations->verticalScrollBar()->maximum()));
  EXPECT_GT(TopRow(*relations), 0);
  EXPECT_LE(relations->rowAt(0), 21);
  EXPECT_GE(relations->rowAt(relations->viewport()->height() - 1), 21);
}

// --- Commands ---

TEST_F(MainFormTest, CaptionAndTitleNameTheDescription) {
  MakeForm();
  EXPECT_EQ(testing::TitleBar(*form), kProgram);

  // New: both tables chosen in the new-conversion dialog.
  {
    FileAnswers files({QString::fromStdString(SourcePath()), QString::fromStdString(TargetPath())});
    ScopedDialogTestHook answer([](QDialog& dialog) -> QAbstractButton* {
      dialog.findChild<QPushButton*>(QStringLiteral("BtnSource"))->click();
      dialog.findChild<QPushButton*>(QStringLiteral("BtnTarget"))->click();
      return dialog.findChild<QPushButton*>(QStringLiteral("BBOk"));
    });
    form->NewClick();
  }
  EXPECT_TRUE(form->Workspace().LoadOk);
  EXPECT_EQ(testing::TitleBar(*form), QStringLiteral("NoName - NOX Base Convertation"));
  EXPECT_EQ(ApplicationTitle(), QStringLiteral("NOX Base Convertation - NoName"));
  EXPECT_EQ(Grid("SGSource")->rowCount(), 3);
  EXPECT_EQ(Find<QLabel>("LTargetName")->text(), QStringLiteral("CUSTOMER.DB"));

  {
    FileAnswers files({QString::fromStdString(Path("first.cnv"))});
    form->SaveAsClick();
    ASSERT_EQ(files.specs.size(), 1u);
    EXPECT_EQ(files.specs[0].title, QStringLiteral("Save Convertation File"));
    EXPECT_EQ(files.specs[0].filter, QStringLiteral("NOX Base Convertation (*.cnv)|*.cnv"));
    EXPECT_EQ(files.specs[0].defaultSuffix, QStringLiteral("cnv"));
  }
  EXPECT_EQ(testing::TitleBar(*form), QStringLiteral("First.cnv - NOX Base Convertation"));
  EXPECT_EQ(ApplicationTitle(), QStringLiteral("NOX Base Convertation - first.cnv"));

  for (const char* name : {"b.cnv", "c.cnv", "d.cnv"})
    WriteDescription(name);
  for (const char* name : {"b.cnv", "c.cnv", "d.cnv"}) {
    FileAnswers files({QString::fromStdString(Path(name))});
    form->OpenClick();
    EXPECT_EQ(files.specs.at(0).title, QStringLiteral("Open Convertation File"));
    EXPECT_EQ(files.specs.at(0).fileName, QStringLiteral("*.cnv"));
  }
  EXPECT_EQ(testing::TitleBar(*form), QStringLiteral("d.cnv - NOX Base Convertation"));
  EXPECT_EQ(ApplicationTitle(), QStringLiteral("NOX Base Convertation - d.cnv"));
  EXPECT_EQ(form->Workspace().CnvFileName, Path("d.cnv"));
}

struct Availability {
  bool save, saveAs, convertation, options, viewIni, changeBases, sbSave, sbConvert, lists;
};

TEST_F(MainFormTest, CommandAvailabilityFollowsTheDescriptionState) {
  const std::string good = WriteDescription("good.cnv");
  const std::string missingTable = WriteDescription("bad.cnv", Path("NOWHERE.DB"));
  struct Case {
    const char* what;
    std::vector<std::string> arguments;
    Availability expected;
  } const cases[] = {
      {"at start", {}, {false, false, false, false, false, false, false, false, false}},
      {"load ok", {good}, {false, true, true, true, true, true, true, true, true}},
      {"load failed",
       {missingTable},
       {false, false, false, false, false, true, false, false, false}},
  };
  std::optional<QSize> size;  // a fixed-size window: a failed load hides a list, not its place
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DialogAnswerer answerer;
    MakeForm(c.arguments);
    form->show();
    EXPECT_EQ(form->size(), size.value_or(form->size()));
    size = form->size();
    const Availability& e = c.expected;
    EXPECT_EQ(Find<QAction>("Save1")->isEnabled(), e.save);
    EXPECT_EQ(Find<QAction>("SaveAs1")->isEnabled(), e.saveAs);
    EXPECT_EQ(Find<QAction>("Convertation1")->isEnabled(), e.convertation);
    EXPECT_EQ(Find<QToolButton>("SBConvert")->isEnabled(), e.sbConvert);
    EXPECT_EQ(Find<QAction>("Convertationoptions1")->isEnabled(), e.options);
    EXPECT_EQ(Find<QAction>("ViewINIfile1")->isEnabled(), e.viewIni);
    EXPECT_EQ(Find<QAction>("Changebases1")->isEnabled(), e.changeBases);
    EXPECT_EQ(Find<QToolButton>("SBSave")->isEnabled(), e.sbSave);
    EXPECT_EQ(Grid("SGSource")->isEnabled(), e.lists);
    EXPECT_EQ(Grid("SGRelat")->isEnabled(), e.lists);
    for (const char* always : {"New1", "Open1", "Exit1", "Help1", "About1"})
      EXPECT_TRUE(Find<QAction>(always)->isEnabled()) << always;
    EXPECT_EQ(splashClosed, c.arguments.empty() ? 0 : 1);
    form.reset();
    splashClosed = 0;
  }
}

// Every window as the window manager shows it: the exact caption in its title bar, and the two
// long-lived windows as the program's own top-level windows, which can be minimised.
TEST_F(MainFormTest, TitleBarsShowExactlyTheWindowsCaptions) {
  Open({WriteDescription()});
  Click("SGTarget", 2);  // a free target field, for the formula editor
  struct Case {
    void (TMainForm::*command)();
    const char* titleBar;
  } const cases[] = {
      {&TMainForm::NewClick, "New Convertation"},
      {&TMainForm::ChangeBasesClick, "Change bazes"},
      {&TMainForm::ConvertationOptionsClick, "Convertation options"},
      {&TMainForm::ViewIniFileClick, "Convertation INI file"},
      {&TMainForm::BBFunctionClick, "Convertation function"},
      {&TMainForm::FormulaWizardClick, "Formula Wizard"},
      {&TMainForm::AboutClick, "About"},
      {&TMainForm::HelpClick, "Help"},
  };
  for (const Case& c : cases) {
    DialogAnswerer answerer{QString()};  // the close box
    (form.get()->*c.command)();
    ASSERT_EQ(answerer.Shown().size(), 1u) << c.titleBar;
    EXPECT_EQ(answerer.Shown()[0].caption, QString::fromLatin1(c.titleBar));
  }
  form->ConvertClick();
  EXPECT_EQ(testing::TitleBar(form->FormConvert()), QStringLiteral("Sales.cnv - Convertation"));
  EXPECT_EQ(testing::TitleBar(*form), QStringLiteral("Sales.cnv - NOX Base Convertation"));
  for (QWidget* window : std::initializer_list<QWidget*>{form.get(), &form->FormConvert()}) {
    EXPECT_EQ(window->windowType(), Qt::Window) << window->objectName().toStdString();
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_EQ(window->parentWidget(), nullptr);
  }
  form->FormConvert().hide();
}

// A long directory is shown as ".." and its tail, and the tail is what stays in view.
TEST_F(MainFormTest, PathLabelKeepsTheTailOfALongDirectory) {
  const std::filesystem::path deep =
      std::filesystem::path(Dir()) / "quarterly_reports_archive" / "customers_and_suppliers_2004";
  std::filesystem::create_directories(deep);
  for (const char* file : {"CUSTOMER.DB", "CUSTOMER.PX"})
    std::filesystem::copy_file(Path(file), deep / file);
  Open({WriteDescription("deep.cnv", (deep / "CUSTOMER.DB").string())});
  const QLabel* label = Find<QLabel>("LTargetPath");
  const QString shown = label->text();
  EXPECT_TRUE(shown.startsWith(QStringLiteral(".."))) << shown.toStdString();
  EXPECT_TRUE(QString::fromStdString(deep.string() + "/").toUpper().endsWith(shown.mid(2)));
  EXPECT_GT(shown.size(), 10);
  EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), label->contentsRect().width());
}

// The desktop's keys for New, Open and Exit; Ctrl+S stays the field-settings key and saves
// nothing.
TEST_F(MainFormTest, ControlKeysRunNewOpenAndExit) {
  Open({WriteDescription()});
  form->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
  Click("SGSource", 1);
  Click("SGTarget", 1);
  form->BBAddClick();
  const auto press = [this](Qt::Key key) { QTest::keyClick(form.get(), key, Qt::ControlModifier); };
  {
    DialogAnswerer answerer(QStringLiteral("Cancel"));
    press(Qt::Key_S);
    EXPECT_TRUE(answerer.Shown().empty());
    EXPECT_TRUE(form->Workspace().Modified);
    press(Qt::Key_N);  // the save prompt first, then nothing
    ASSERT_EQ(answerer.Shown().size(), 1u);
    EXPECT_EQ(answerer.Shown()[0].buttonNames, (QStringList{"Yes", "No", "Cancel"}));
  }
  {
    DialogAnswerer answerer(QStringLiteral("No"));
    FileAnswers files({QString()});
    press(Qt::Key_O);
    ASSERT_EQ(files.specs.size(), 1u);
    EXPECT_EQ(files.specs[0].title, QStringLiteral("Open Convertation File"));
  }
  DialogAnswerer answerer(QStringLiteral("No"));
  press(Qt::Key_Q);
  EXPECT_FALSE(form->isVisible());
}

TEST_F(MainFormTest, SavePromptAnswersDecideWhetherTheWindowCloses) {
  const std::string original = ReadAll(WriteDescription());
  struct Case {
    const char* answer;
    bool closes;
    bool written;
  } const cases[] = {{"Cancel", false, false}, {"No", true, false}, {"Yes", true, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    std::ofstream(Path("sales.cnv"), std::ios::binary) << original;
    Open({Path("sales.cnv")});
    Click("SGSource", 1);
    Click("SGTarget", 1);
    form->BBAddClick();
    DialogAnswerer answerer(QString::fromLatin1(c.answer));
    EXPECT_EQ(form->close(), c.closes);
    ASSERT_EQ(answerer.Shown().size(), 1u);
    const testing::ShownDialog& prompt = answerer.Shown()[0];
    EXPECT_EQ(prompt.message, QString::fromStdString("The  " + Path("sales.cnv") +
                                                     "  file has changed.\n\nDo you want to "
                                                     "save the changes?"));
    EXPECT_EQ(prompt.caption, QStringLiteral("NOX Base Convertation - sales.cnv"));
    EXPECT_EQ(prompt.buttonNames, (QStringList{"Yes", "No", "Cancel"}));
    EXPECT_EQ(ReadAll(Path("sales.cnv")) != original, c.written);
    EXPECT_EQ(form->isVisible(), !c.closes);
    form.reset();
  }
}

TEST_F(MainFormTest, SavePromptOnAnUnnamedDescription) {
  MakeForm();
  form->show();
  ASSERT_TRUE(form->Workspace().New(SourcePath(), TargetPath()));
  form->ShowWorkspace();
  EXPECT_TRUE(form->close()) << "a new description closed unchanged is not offered for saving";

  MakeForm();
  form->show();
  ASSERT_TRUE(form->Workspace().New(SourcePath(), TargetPath()));
  form->ShowWorkspace();
  Click("SGSource", 0);
  Click("SGTarget", 0);
  form->BBAddClick();
  DialogAnswerer answerer(QStringLiteral("Yes"));
  FileAnswers files({QString()});  // the Save As dialog is cancelled
  EXPECT_TRUE(form->close());
  ASSERT_EQ(answerer.Shown().size(), 1u);
  EXPECT_TRUE(answerer.Shown()[0].message.startsWith(QStringLiteral("The  NoName  file")));
  ASSERT_EQ(files.specs.size(), 1u);
  EXPECT_EQ(files.specs[0].kind, FileDialogSpec::Kind::Save);
}

TEST_F(MainFormTest, SavePromptKeepsTheWindowWhenTheTextCannotBeWritten) {
  std::filesystem::create_directory(Path("sub"));
  WriteDescription("sub/gone.cnv");
  Open({Path("sub/gone.cnv")});
  Click("SGSource", 1);
  Click("SGTarget", 1);
  form->BBAddClick();
  std::filesystem::remove_all(Path("sub"));
  DialogAnswerer answerer(QStringLiteral("Yes"));  // the prompt, then the write error
  EXPECT_FALSE(form->close());
  ASSERT_EQ(answerer.Shown().size(), 2u);
  EXPECT_TRUE(answerer.Shown()[1].message.contains(QStringLiteral("gone.cnv")));
  EXPECT_TRUE(form->Workspace().Modified);
  EXPECT_TRUE(form->isVisible());
}

TEST_F(MainFormTest, SaveOnAnUnnamedDescriptionAsksForAName) {
  MakeForm();
  ASSERT_TRUE(form->Workspace().New(SourcePath(), TargetPath()));
  form->ShowWorkspace();
  FileAnswers files({QString::fromStdString(Path("named.cnv"))});
  Find<QToolButton>("SBSave")->click();
  ASSERT_EQ(files.specs.size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(Path("named.cnv")));
  EXPECT_EQ(form->Workspace().CnvFileName, Path("named.cnv"));
}

TEST_F(MainFormTest, HelpSaysThereIsNothingThere) {
  MakeForm();
  DialogAnswerer answerer;
  form->HelpClick();
  ASSERT_EQ(answerer.Shown().size(), 1u);
  EXPECT_EQ(answerer.Shown()[0].message, QStringLiteral("Nothing there !"));
  EXPECT_EQ(answerer.Shown()[0].caption, QStringLiteral("Help"));
  EXPECT_EQ(answerer.Shown()[0].buttonNames, QStringList{QStringLiteral("OK")});
}

TEST_F(MainFormTest, CommandLineWordsAreReadWithoutRegardToCase) {
  const std::string description = WriteDescription();
  struct Case {
    std::vector<std::string> arguments;
    bool read;
    bool newTimer;
    bool enabled;
  } const cases[] = {
      {{description}, true, false, true},
      {{description, "new"}, false, true, true},
      {{description, "other", "auto"}, true, false, true},
      {{description, "Auto"}, true, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.back());
    MakeForm(c.arguments);
    EXPECT_EQ(form->isEnabled(), c.enabled);
    form->show();
    EXPECT_EQ(form->Workspace().CnvFileName, c.read ? description : std::string("NoName"));
    EXPECT_EQ(form->findChild<QTimer*>(QStringLiteral("TimerNew"))->isActive(), c.newTimer);
    EXPECT_EQ(form->windowTitle(),
              c.read ? QStringLiteral("Sales.cnv - NOX Base Convertation") : kProgram);
    form.reset();
  }
}

TEST_F(MainFormTest, TimerNewRunsTheNewCommandOnce) {
  MakeForm({Path("none.cnv"), "NEW"});
  form->show();
  int dialogs = 0;
  ScopedDialogTestHook cancel([&](QDialog& dialog) -> QAbstractButton* {
    ++dialogs;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("New Convertation"));
    return nullptr;
  });
  form->TimerNewTimer();
  EXPECT_EQ(dialogs, 1);
  EXPECT_FALSE(form->findChild<QTimer*>(QStringLiteral("TimerNew"))->isActive());
}

TEST_F(MainFormTest, AutomaticRunConvertsAndEndsTheProgramByItself) {
  const std::string description = WriteDescription();
  MakeForm({description, "AUTO"});
  QSignalSpy finished(form.get(), &QDialog::finished);
  form->show();
  EXPECT_EQ(splashClosed, 1);
  TFormConvert& convert = form->FormConvert();
  EXPECT_TRUE(convert.isVisible());
  QTRY_VERIFY_WITH_TIMEOUT(
      convert.Run() != nullptr && convert.Run()->State() == convert::RunState::Complete, 20000);
  auto* pause = form->findChild<QTimer*>(QStringLiteral("TimerPause"));
  EXPECT_TRUE(pause->isActive());
  EXPECT_TRUE(form->isVisible());
  EXPECT_FALSE(form->isEnabled());

  convert.TimerPauseTimer();  // the conversion window hides the main window meanwhile
  EXPECT_FALSE(form->isVisible());
  form->TimerPauseTimer();
  EXPECT_EQ(finished.count(), 1) << "the close ends the program even while hidden";
  EXPECT_FALSE(convert.isVisible());
  EXPECT_EQ(form->Workspace().TableTarget.QuickRecordCount(), 3u);
}

// Nobody is there to close a dialog in an automatic run: its messages go to standard error, the
// run ends by itself and its status says why.
TEST_F(MainFormTest, AutomaticRunOnAnUnreadableDescriptionStillEnds) {
  DialogAnswerer answerer;
  test::CapturedMessages messages;
  MakeForm({Path("missing.cnv"), "AUTO"});
  QSignalSpy finished(form.get(), &QDialog::finished);
  form->show();
  EXPECT_TRUE(answerer.Shown().empty());
  ASSERT_EQ(messages.texts.size(), 1u);
  EXPECT_NE(messages.texts[0].find("missing.cnv"), std::string::npos);
  EXPECT_EQ(splashClosed, 1);
  EXPECT_FALSE(form->FormConvert().isVisible());
  auto* pause = form->findChild<QTimer*>(QStringLiteral("TimerPause"));
  ASSERT_TRUE(pause->isActive());
  form->TimerPauseTimer();
  EXPECT_EQ(finished.count(), 1);
  EXPECT_EQ(form->ExitStatus(), convert::kRunBadDescription);
}

// An option line that cannot be read is reported, and the automatic run ends without converting.
TEST_F(MainFormTest, AutomaticRunWithAnUnreadableOptionConvertsNothing) {
  const std::string description = WriteDescription();
  convert::DescriptionText text = convert::DescriptionText::ReadFile(description);
  for (std::string& line : text.lines) {
    if (line.rfind("FILTER:", 0) == 0) line = "FILTER=CODE > 1";
  }
  text.WriteFile(description);
  test::CapturedMessages messages;
  MakeForm({description, "AUTO"});
  form->show();
  ASSERT_FALSE(messages.texts.empty());
  for (const std::string& shown : messages.texts)
    EXPECT_EQ(shown, "Error in .CNV file!");
  auto* pause = form->findChild<QTimer*>(QStringLiteral("TimerPause"));
  EXPECT_TRUE(pause->isActive());
  const TFormConvert& convert = form->FormConvert();
  EXPECT_TRUE(convert.Run() == nullptr || convert.Run()->State() == convert::RunState::Ready);
  EXPECT_EQ(form->Workspace().TableTarget.QuickRecordCount(), 0u);
  EXPECT_EQ(form->ExitStatus(), convert::kRunBadDescription);
}

TEST_F(MainFormTest, ConvertOnAnUnnamedDescriptionSavesFirst) {
  MakeForm();
  ASSERT_TRUE(form->Workspace().New(SourcePath(), TargetPath()));
  form->ShowWorkspace();
  {
    FileAnswers files({QString()});
    form->ConvertClick();
  }
  EXPECT_FALSE(form->FormConvert().isVisible()) << "no name, no conversion";
  {
    FileAnswers files({QString::fromStdString(Path("run.cnv"))});
    form->ConvertClick();
  }
  EXPECT_TRUE(form->FormConvert().isVisible());
  EXPECT_TRUE(std::filesystem::exists(Path("run.cnv")));
  form->FormConvert().hide();
}

TEST_F(MainFormTest, LinkWithoutACallerWarnsOnceAtTheEnd) {
  const std::string description = WriteDescription();
  MakeForm({description, "other", "dde"});
  ASSERT_NE(form->Link(), nullptr);
  EXPECT_FALSE(form->Link()->Client().Connected());
  form->show();
  EXPECT_TRUE(form->Workspace().LoadOk) << "without a caller the stored paths are used";
  DialogAnswerer answerer;
  EXPECT_TRUE(form->close());  // the close handler's message fails silently
  EXPECT_TRUE(answerer.Shown().empty());
  form.reset();  // the destroy handler's does not
  ASSERT_EQ(answerer.Shown().size(), 1u);
  EXPECT_EQ(answerer.Shown()[0].message, QStringLiteral("False in DDE"));

  MakeForm({description, "other", "DD"});
  EXPECT_EQ(form->Link(), nullptr);
}

// The built program, started by a calling program with AUTO, ends by itself: converted, or with
// the runner's status and the message on standard error, never waiting for a click.
TEST_F(MainFormTest, ProgramRunsAnAutomaticConversionAndExits) {
  const std::string description = WriteDescription();
  const std::string missingTable = WriteDescription("gone.cnv", Path("NOWHERE/CUSTOMER.DB"));
  struct Case {
    std::string description;
    int status;
    const char* message;  // on standard error
    std::size_t targetRecords;
  };
  const Case cases[] = {
      {Path("missing.cnv"), convert::kRunBadDescription, "missing.cnv", 0},
      {missingTable, convert::kRunMissingTable, "NOWHERE", 0},
      {description, convert::kRunComplete, "", 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(dir.path());
    program.start(QStringLiteral(NOXCONVERT_PATH),
                  {QString::fromStdString(c.description), QStringLiteral("auto")});
    ASSERT_TRUE(program.waitForFinished(60000)) << "the program did not end by itself";
    const std::string errors = program.readAllStandardError().toStdString();
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), c.status) << errors;
    EXPECT_NE(errors.find(c.message), std::string::npos) << errors;
    TTable target;
    target.SetDatabaseName(Dir());
    target.SetTableName("CUSTOMER.DB");
    target.Open();
    EXPECT_EQ(target.QuickRecordCount(), c.targetRecords);
  }
}

}  // namespace
}  // namespace nox::forms

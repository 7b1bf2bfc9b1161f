#include "forms/translation.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "forms/controls.h"
#include "forms/file_dialog.h"
#include "forms/form_services.h"
#include "forms/grad_caption.h"
#include "forms/message_sink.h"
#include "forms/nox_form.h"
#include "forms/shared_state.h"
#include "forms/text.h"
#include "forms/translation_store.h"
#include "tables/table.h"
#include "tests/forms/dialog_probe.h"

namespace nox::forms {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using host::CodePage;
using tables::TTable;

// A text as the table keeps it, in a code page.
std::string Bytes(const QString& text, CodePage page) {
  return ToDataText(text, page).value();
}

void WriteLines(const fs::path& file, const Lines& lines) {
  std::ofstream out(file, std::ios::binary);
  for (const std::string& line : lines)
    out << line << "\r\n";
}

// A window whose controls a test builds before its creation runs.
class BuiltForm : public TNoxForm {
 public:
  BuiltForm(const char* name, const std::function<void(TNoxForm&)>& build) {
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(QStringLiteral("Design"));
    build(*this);
  }
};

FormPtr<BuiltForm> Window(const char* name, const std::function<void(TNoxForm&)>& build) {
  return CreateForm<BuiltForm>(name, build);
}

class TranslationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    previous = QDir::currentPath();
    QDir::setCurrent(dir.path());
    qputenv("XDG_DATA_HOME", (dir.path() + QStringLiteral("/data")).toLocal8Bit());
    FormSharedState::Instance().Settings() = InterfaceSettings();
    InstallTranslation(Path("noxtest.bin"));
  }
  void TearDown() override {
    InstalledServices() = FormServices();
    SetProgramFile({});
    for (const testing::ShownDialog& shown : unexpected.Shown())
      ADD_FAILURE() << "a message was shown: " << shown.message.toStdString();
    EXPECT_EQ(FormSharedState::Instance().Holders(), 0);
    QDir::setCurrent(previous);
  }
  fs::path Path(const std::string& name) const { return fs::path(dir.path().toStdString()) / name; }
  void Settings(const Lines& lines) { WriteLines(Path("Params.ini"), lines); }
  void Resources(const Lines& lines) { WriteLines(Path(kDefaultResourceFile), lines); }
  static TTable& Table() { return *FormSharedState::Instance().LanguageTable(); }

  QTemporaryDir dir;
  QString previous;
  testing::DialogAnswerer unexpected;  // a test that expects a message answers it itself
};

// Lang1 English, Lang2 Russian (Windows-1251), Lang3 Latvian (Windows-1257).
Lines Entry(const std::string& key, const QString& en, const QString& ru, const QString& lv) {
  return {"* " + key, Bytes(en, CodePage::Windows1257), Bytes(ru, CodePage::Windows1251),
          Bytes(lv, CodePage::Windows1257), ""};
}

TEST(LanguageTableFileName, LAndTheProgramNameCutToEight) {
  const std::pair<const char*, const char*> cases[] = {
      {"/usr/bin/noxconvert", "Lnoxconv.db"},
      {"C:\\NOX\\Convert.exe", "LConvert.db"},
      {"a.b.exe", "La.db"},
  };
  for (const auto& [program, table] : cases)
    EXPECT_EQ(LanguageTableFileName(program), table);
}

TEST(NavigatorHints, OneBlockOfTenPerSystemLanguage) {
  Lines lines = {"x", "* Hint_DBNav", "* more"};
  for (int i = 1; i <= 25; ++i)
    lines.push_back("h" + std::to_string(i));
  const auto block = [](int first) {
    Lines hints;
    for (int i = first; i < first + 10; ++i)
      hints.push_back("h" + std::to_string(i));
    return hints;
  };
  EXPECT_EQ(NavigatorHints(lines, "dbnav", 1), block(1));
  EXPECT_EQ(NavigatorHints(lines, "DBNav", 2), block(11));
  EXPECT_EQ(NavigatorHints(lines, "DBNav", 3), std::nullopt);  // the file ends within the block
  EXPECT_EQ(NavigatorHints(lines, "Other", 1), std::nullopt);
}

TEST_F(TranslationTest, EveryControlKindInTheLanguageOfItsClass) {
  // Interface texts in Russian, system texts (hints, menus) in Latvian.
  Settings({"LANGUAGE=2", "SYSLANGUAGE=3"});
  Lines file;
  for (const Lines& entry : {
           Entry("FormX", "Window", "Окно", "Logs"),
           Entry("LblName", "Name", "Имя", "Vārds"),
           Entry("Hint_LblName", "The name", "Имя клиента", "Klienta vārds"),
           Entry("RGKind", "Kind", "Вид", "Veids"),
           Entry("RGKind_0", "First", "Первый", "Pirmais"),
           Entry("RGKind_2", "Third", "Третий", "Trešais"),
           Entry("CBLatvian", "Latvian", "Латышский", "Latviski"),
           Entry("TSOne", "One", "Один", "Viens"),
           Entry("TCTabs_1", "Two", "Два", "Divi"),
           Entry("LBGrow_0", "a", "а", "a"),
           Entry("LBGrow_1", "b", "б", "b"),
           Entry("LBGrow_2", "c", "в", "c"),
           Entry("LBGrow_3", "d", "г", "d"),
           Entry("LBStop_0", "a", "а", "a"),
           Entry("LBStop_2", "c", "в", "c"),
           Entry("VALKOD", "Currency", "Валюта", "Valūta"),
           Entry("File1", "File", "Файл", "Fails"),
           Entry("Sub1", "Sub", "Под", "Apakš"),
           Entry("Deep1", "Deep", "Глубоко", "Dziļi"),
           Entry("Deepest1", "Deepest", "Глубже", "Dziļāk"),
           Entry("PopItem1", "Add", "Добавить", "Pievienot"),
           Entry("StatusBar1_1", "Ready", "Готово", "Gatavs"),
           Entry("NOXCBSaveChanges", "Save?", "Сохранить?", "Saglabāt?"),
           Entry("LCLookup", "Search", "Поиск", "Meklēt"),
           Entry("OpenDialog1", "Open", "Открыть", "Atvērt"),
       }) {
    file.insert(file.end(), entry.begin(), entry.end());
  }
  file.push_back("* Hint_DBNavigator1");
  for (int language = 1; language <= 3; ++language) {
    for (int i = 1; i <= 10; ++i)
      file.push_back("L" + std::to_string(language) + "-" + std::to_string(i));
  }
  Resources(file);

  QLabel* label = nullptr;
  QList<QAbstractButton*> radios;
  QCheckBox* check = nullptr;
  QTabWidget* pages = nullptr;
  QTabBar* tabs = nullptr;
  QListWidget *grow = nullptr, *stop = nullptr;
  QStandardItemModel* gridModel = nullptr;
  QMenu *fileMenu = nullptr, *popup = nullptr;
  QAction* deepest = nullptr;
  QStatusBar* status = nullptr;
  QComboBox* combo = nullptr;
  QWidget *lookup = nullptr, *navigator = nullptr;
  FormPtr<BuiltForm> form = Window("FormX_2", [&](TNoxForm& w) {
    label = MakeLabel(&w, "LblName", QStringLiteral("Name"));
    auto* group = new QGroupBox(QStringLiteral("Kind"), &w);
    group->setObjectName(QStringLiteral("RGKind"));
    auto* buttons = new QButtonGroup(group);
    for (const char* item : {"one", "two", "three"}) {
      auto* radio = new QRadioButton(QString::fromLatin1(item), group);
      buttons->addButton(radio);
    }
    radios = buttons->buttons();
    check = new QCheckBox(QStringLiteral("Latvian"), &w);
    check->setObjectName(QStringLiteral("CBLatvian"));
    pages = new QTabWidget(&w);
    pages->setObjectName(QStringLiteral("PCPages"));
    for (const char* page : {"TSOne", "TSTwo"}) {
      auto* sheet = new QWidget;
      sheet->setObjectName(QString::fromLatin1(page));
      pages->addTab(sheet, QString::fromLatin1(page));
    }
    tabs = new QTabBar(&w);
    tabs->setObjectName(QStringLiteral("TCTabs"));
    tabs->addTab(QStringLiteral("t0"));
    tabs->addTab(QStringLiteral("t1"));
    for (auto [list, name] : {std::pair{&grow, "LBGrow"}, std::pair{&stop, "LBStop"}}) {
      *list = new QListWidget(&w);
      (*list)->setObjectName(QString::fromLatin1(name));
      (*list)->setProperty("LoadAs", QStringLiteral("AsLabel"));
      (*list)->addItems({QStringLiteral("x0"), QStringLiteral("x1")});
    }
    auto* grid = new QTableView(&w);
    grid->setObjectName(QStringLiteral("DBGrid1"));
    gridModel = new QStandardItemModel(0, 1, grid);
    gridModel->setHeaderData(0, Qt::Horizontal, QStringLiteral("ValKod"), kFieldNameRole);
    grid->setModel(gridModel);
    auto* bar = new QMenuBar(&w);
    bar->setObjectName(QStringLiteral("MainMenu"));
    fileMenu = bar->addMenu(QStringLiteral("&File"));
    fileMenu->setObjectName(QStringLiteral("File1"));
    QMenu* sub = fileMenu->addMenu(QStringLiteral("Sub"));
    sub->setObjectName(QStringLiteral("Sub1"));
    QMenu* deep = sub->addMenu(QStringLiteral("Deep"));
    deep->setObjectName(QStringLiteral("Deep1"));
    deepest = deep->addAction(QStringLiteral("Deepest"));
    deepest->setObjectName(QStringLiteral("Deepest1"));
    popup = new QMenu(&w);
    popup->setObjectName(QStringLiteral("PopupMenu1"));
    popup->addAction(QStringLiteral("Add"))->setObjectName(QStringLiteral("PopItem1"));
    status = new QStatusBar(&w);
    status->setObjectName(QStringLiteral("StatusBar1"));
    status->addWidget(new QLabel(QStringLiteral("p0")));
    status->addWidget(new QLabel(QStringLiteral("p1")));
    combo = new QComboBox(&w);
    combo->setObjectName(QStringLiteral("CBFile"));
    combo->setProperty("Messages", QStringList());
    lookup = new QWidget(&w);
    lookup->setObjectName(QStringLiteral("LCLookup"));
    lookup->setProperty("LookDispLabel", QString());
    navigator = new QWidget(&w);
    navigator->setObjectName(QStringLiteral("DBNavigator1"));
    navigator->setProperty("NavigatorHints", QStringList());
  });

  EXPECT_EQ(form->windowTitle(), "Окно");  // FormX_2 takes the text of FormX
  EXPECT_EQ(form->GradCaption()->Caption(), "Окно");
  EXPECT_EQ(label->text(), "Имя");
  EXPECT_EQ(label->toolTip(), "Klienta vārds");
  EXPECT_EQ(radios[0]->text(), "Первый");
  EXPECT_EQ(radios[1]->text(), "two");  // no entry for the second item
  EXPECT_EQ(radios[2]->text(), "Третий");
  EXPECT_EQ(check->text(), "Латышский");
  EXPECT_EQ(pages->tabText(0), "Один");
  EXPECT_EQ(pages->tabText(1), "TSTwo");
  EXPECT_EQ(tabs->tabText(0), "t0");
  EXPECT_EQ(tabs->tabText(1), "Два");
  ASSERT_EQ(grow->count(), 4);  // grows by the entries up to the first missing index
  EXPECT_EQ(grow->item(3)->text(), "г");
  ASSERT_EQ(stop->count(), 2);
  EXPECT_EQ(stop->item(0)->text(), "а");
  EXPECT_EQ(stop->item(1)->text(), "x1");
  EXPECT_EQ(gridModel->headerData(0, Qt::Horizontal).toString(), "Валюта");
  EXPECT_EQ(fileMenu->menuAction()->text(), "Fails");
  EXPECT_EQ(fileMenu->actions()[0]->text(), "Apakš");
  EXPECT_EQ(fileMenu->actions()[0]->menu()->actions()[0]->text(), "Dziļi");
  EXPECT_EQ(deepest->text(), "Deepest");  // a fourth level is not translated
  EXPECT_EQ(popup->actions()[0]->text(), "Pievienot");
  EXPECT_EQ(status->findChildren<QLabel*>()[1]->text(), "Готово");
  EXPECT_EQ(combo->property("Messages").toStringList(),
            QStringList{QStringLiteral("NOXCBSaveChanges=Сохранить?")});
  EXPECT_EQ(lookup->property("LookDispLabel").toString(), "Поиск");
  QStringList hints;
  for (int i = 1; i <= 10; ++i)
    hints << QStringLiteral("L3-%1").arg(i);
  EXPECT_EQ(navigator->property("NavigatorHints").toStringList(), hints);

  ScopedFileDialogTestHook dialogs([](const FileDialogSpec& spec) -> std::optional<QString> {
    EXPECT_EQ(spec.title, "Atvērt");
    return std::nullopt;
  });
  FileDialogSpec spec;
  spec.title = QStringLiteral("Open");
  spec.name = QStringLiteral("OpenDialog1");
  RunFileDialog(form.get(), spec);

  // Two windows with a control of one name show the same text.
  FormPtr<BuiltForm> other =
      Window("FormY", [](TNoxForm& w) { MakeLabel(&w, "LblName", QStringLiteral("Name")); });
  EXPECT_EQ(other->findChild<QLabel*>(QStringLiteral("LblName"))->text(), "Имя");
  EXPECT_EQ(other->windowTitle(), "Design");  // no entry: the design text stays
}

TEST_F(TranslationTest, TheImportTakesUpToThreeTextsAndKeepsTheFirstEntryOfAKey) {
  Resources({"* LblTwo", "* passed over", "Two", "Два", "", "* LblFour", "1", "2", "3", "4", "",
             "* LblTwo", "Again", "", "*", "x", ""});
  FormPtr<BuiltForm> form = Window("FormX", [](TNoxForm&) {});
  TTable& table = Table();
  EXPECT_EQ(LanguageColumnCount(table), 3);
  // Every "*" line starts an entry of its own; one without a key is passed over.
  EXPECT_EQ(table.RecordCount(), 3u);
  EXPECT_EQ(LookupText(table, "passed over", 1), "Two");
  EXPECT_EQ(LookupText(table, "lbltwo", 1), "Two");
  EXPECT_EQ(LookupText(table, "LBLTWO", 2), "Два");
  EXPECT_EQ(LookupText(table, "LblTwo", 3), "");
  EXPECT_EQ(LookupText(table, "LblFour", 3), "3");
  EXPECT_EQ(LookupText(table, "Missing", 1), "");
  EXPECT_TRUE(fs::exists(Path("Lnoxtest.db")));
}

TEST_F(TranslationTest, ALanguageWithoutAColumnIsReportedAndTheWindowStaysUntranslated) {
  Settings({"LANGUAGE=4"});
  Resources(Entry("FormX", "Window", "Окно", "Logs"));
  ScopedDialogMessages messages;  // as the program installs them
  testing::DialogAnswerer answerer;
  FormPtr<BuiltForm> form = Window("FormX", [](TNoxForm&) {});
  ASSERT_EQ(answerer.Shown().size(), 1u);
  EXPECT_EQ(answerer.Shown()[0].message, "Field 'Lang4' not found");
  EXPECT_EQ(form->windowTitle(), "Design");
}

TEST_F(TranslationTest, ASourceTableIsCopiedWithTheSmallerColumnCountAndItsCommonEntries) {
  // A source with two languages, in the current directory; the resource file is then not read.
  TTable source;
  source.SetDatabaseName(dir.path().toStdString());
  source.SetTableName(kSourceLanguageTable);
  using tables::FieldType;
  source.FieldDefs() = {{"Key", FieldType::String, 40},
                        {"Sys", FieldType::String, 1},
                        {"Lang1", FieldType::String, 250},
                        {"Lang2", FieldType::String, 250}};
  source.CreateTable();
  source.Open();
  for (const Lines& row : {Lines{"BBOk", "", "OK", "Да"}, Lines{"bbok", "S", "Okay", "Ладно"},
                           Lines{"BBOK", "", "Other", "Другое"}, Lines{"LblX", "", "X", "Икс"}}) {
    source.Append();
    for (int i = 0; i < 4; ++i)
      source.Fields(i).SetAsString(row[static_cast<std::size_t>(i)]);
    source.Post();
  }
  source.Close();
  Resources(Entry("FromFile", "a", "b", "c"));

  const auto table =
      OpenLanguageTable(dir.path().toStdString(), "Lnoxtest.db", Path(kDefaultResourceFile), true);
  EXPECT_EQ(table->RecordCount(), 2u);
  EXPECT_EQ(LookupText(*table, "BBOk", 1), "Okay");  // the common entry replaced the texts
  EXPECT_EQ(LookupText(*table, "BBOk", 2), "Ладно");
  EXPECT_EQ(LookupText(*table, "LblX", 3), "");
  EXPECT_EQ(LookupText(*table, "FromFile", 1), "");
}

TEST_F(TranslationTest, ASourceThatCannotBeReadIsReportedAndLeavesAnEmptyTable) {
  std::ofstream(Path(kSourceLanguageTable), std::ios::binary) << "not a table";
  const ScopedDialogMessages dialogs;
  testing::DialogAnswerer answerer;
  FormPtr<BuiltForm> form = Window("FormX", [](TNoxForm&) {});
  ASSERT_EQ(answerer.Shown().size(), 1u);
  EXPECT_TRUE(answerer.Shown()[0].message.startsWith(
      "Language table 'Lnoxtest.db' filled only in part from 'LangTabl.db': "));
  EXPECT_EQ(Table().RecordCount(), 0u);
}

TEST_F(TranslationTest, WritingBackAsksWhetherCommonAndCopiesTheOtherLanguages) {
  Resources(Entry("LblName", "Name", "Имя", "Vārds"));
  FormPtr<BuiltForm> form = Window("FormW", [](TNoxForm& w) {
    MakeLabel(&w, "LblName", QStringLiteral("Name"));
    MakeLabel(&w, "LblAlias", QStringLiteral("name"));
    MakeLabel(&w, "LblEmpty", QStringLiteral("  "));
    MakeButton(&w, "BBNew", QStringLiteral("New"), QStringLiteral("Makes one"));
  });
  TTable& table = Table();
  const auto sys = [&table](const char* key) {
    EXPECT_TRUE(table.FindKey({tables::Value::Text(key)})) << key;
    return table.FieldByName("Sys").AsString();
  };
  const struct {
    const char* answer;
    const char* sys;
  } answers[] = {{"BtnCancel", ""}, {"BtnOK", "S"}};
  for (const auto& answer : answers) {
    testing::DialogAnswerer answerer(QString::fromLatin1(answer.answer), QStringLiteral("LblSoob"));
    InstalledServices().saveTranslation(*form);
    ASSERT_EQ(answerer.Shown().size(), 1u);
    EXPECT_EQ(answerer.Shown()[0].caption, "LANGUAGES");
    EXPECT_EQ(answerer.Shown()[0].message, "Save components text as common?");
    EXPECT_EQ(answerer.Shown()[0].buttonCaptions, (QStringList{"Yes", "No"}));
    EXPECT_EQ(answerer.Shown()[0].focusedButton, "BtnCancel");
    // An existing key only takes the flag; its texts never change.
    EXPECT_EQ(sys("LblName"), answer.sys);
    EXPECT_EQ(LookupText(table, "LblName", 2), Bytes(QStringLiteral("Имя"), CodePage::Windows1251));
  }
  // A text known as another key's Lang1 brings that entry's other languages.
  EXPECT_EQ(LookupText(table, "LblAlias", 1), "name");
  EXPECT_EQ(LookupText(table, "LblAlias", 3),
            Bytes(QStringLiteral("Vārds"), CodePage::Windows1257));
  EXPECT_EQ(LookupText(table, "BBNew", 1), "New");
  EXPECT_EQ(LookupText(table, "BBNew", 2), "");
  EXPECT_EQ(LookupText(table, "Hint_BBNew", 1), "Makes one");
  EXPECT_EQ(LookupText(table, "FormW", 1), "Design");
  EXPECT_FALSE(table.FindKey({tables::Value::Text("LblEmpty")}));  // blank texts are not stored
}

}  // namespace
}  // namespace nox::forms

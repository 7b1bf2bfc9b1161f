// The shipped resource-string file: its entries are well formed, each language in its code page,
// every text of every window of the program has one, and the main window and the calculator show
// them in Russian and in Latvian.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "calc/form_calcul.h"
#include "convert/description_file.h"
#include "convert/workspace.h"
#include "desktop/form_about.h"
#include "desktop/form_conv_options.h"
#include "desktop/form_func.h"
#include "desktop/form_memo.h"
#include "desktop/form_new.h"
#include "desktop/form_table.h"
#include "desktop/form_view.h"
#include "desktop/main_form.h"
#include "forms/file_dialog.h"
#include "forms/form_services.h"
#include "forms/form_settings.h"
#include "forms/shared_state.h"
#include "forms/translation.h"
#include "forms/translation_store.h"
#include "host/code_pages.h"
#include "tables/engine_config.h"
#include "tests/forms/dialog_probe.h"

namespace nox::forms {
namespace {

namespace fs = std::filesystem;
using host::CodePage;

std::vector<ResourceEntry> ShippedEntries() {
  return ResourceEntries(convert::DescriptionText::ReadFile(NOXRESTR_PATH).lines);
}

std::string Upper(const QString& text) {
  return text.toUpper().toStdString();
}

bool OnlyOf(const std::u32string& text, const std::u32string& allowed) {
  return std::all_of(text.begin(), text.end(), [&](char32_t c) {
    return (c >= U' ' && c <= U'~') || allowed.find(c) != std::u32string::npos;
  });
}

TEST(Translations, EveryEntryHoldsThreeTextsEachInItsLanguagesCodePage) {
  const std::vector<ResourceEntry> entries = ShippedEntries();
  ASSERT_GT(entries.size(), 100u);
  const std::u32string cyrillic =
      U"ЁёАБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмнопрстуфхцчшщъыьэюя";
  std::set<std::string> keys;
  for (const ResourceEntry& entry : entries) {
    SCOPED_TRACE(entry.key);
    EXPECT_TRUE(keys.insert(Upper(QString::fromLatin1(entry.key))).second) << "twice";
    EXPECT_LE(entry.key.size(), 40u);
    ASSERT_EQ(entry.texts.size(), 3u);
    // The table keeps no trailing blanks, so a text has none on either side.
    for (const std::string& text : entry.texts) {
      EXPECT_LE(text.size(), 250u);
      EXPECT_TRUE(text.front() != ' ' && text.back() != ' ') << text;
    }
    const std::u32string english = host::DecodeText(CodePage::Windows1257, entry.texts[0]);
    const std::u32string russian = host::DecodeText(CodePage::Windows1251, entry.texts[1]);
    const std::u32string latvian = host::DecodeText(CodePage::Windows1257, entry.texts[2]);
    EXPECT_TRUE(OnlyOf(english, U"")) << entry.texts[0];
    // Text saved in another code page (UTF-8 above all) decodes to letters outside these sets.
    EXPECT_TRUE(OnlyOf(russian, cyrillic + U"«»–—…№")) << entry.texts[1];
    EXPECT_NE(russian.find_first_of(cyrillic), std::u32string::npos) << entry.texts[1];
    EXPECT_TRUE(OnlyOf(latvian, U"āčēģīķļņšūžĀČĒĢĪĶĻŅŠŪŽ„”–—")) << entry.texts[2];
    // An accelerator in one language has one in the others.
    const auto accelerators = [](const std::string& text) {
      return std::count(text.begin(), text.end(), '&');
    };
    EXPECT_EQ(accelerators(entry.texts[1]), accelerators(entry.texts[0]));
    EXPECT_EQ(accelerators(entry.texts[2]), accelerators(entry.texts[0]));
  }
}

bool HasMessageList(const QObject& object) {
  return object.metaObject()->indexOfProperty("Messages") >= 0;
}

// The keys that the translation of a window looks up for the texts it has: its caption, and the
// name (or "Hint_" + name) of every control, menu and menu item with a text or a hint. A text
// without a name could not be translated at all. A list-file combo box's own texts (its pop-up
// menu, questions and messages) come from its message list.
void CollectKeys(const QWidget& window, std::set<std::string>& keys) {
  if (!window.windowTitle().isEmpty()) keys.insert(Upper(window.objectName().section(u'_', 0, 0)));
  for (const QObject* child : window.findChildren<QObject*>()) {
    const QString name = child->objectName();
    if (name.startsWith(QStringLiteral("qt_"))) continue;  // Qt's own parts
    if (HasMessageList(*child)) {
      for (const char* key : kComboMessageKeys)
        keys.insert(Upper(QString::fromLatin1(key)));
    }
    bool inCombo = false;
    for (const QObject* parent = child->parent(); parent != nullptr && parent != &window;
         parent = parent->parent())
      inCombo = inCombo || HasMessageList(*parent);
    if (inCombo) continue;
    QString text;
    if (const auto* label = qobject_cast<const QLabel*>(child)) text = label->text();
    if (const auto* button = qobject_cast<const QAbstractButton*>(child)) text = button->text();
    if (const auto* group = qobject_cast<const QGroupBox*>(child)) text = group->title();
    if (const auto* menu = qobject_cast<const QMenu*>(child)) text = menu->title();
    if (const auto* action = qobject_cast<const QAction*>(child);
        action != nullptr && action->menu() == nullptr)
      text = action->text();
    const auto* widget = qobject_cast<const QWidget*>(child);
    const bool hint = widget != nullptr && !widget->toolTip().isEmpty();
    if (text.isEmpty() && !hint) continue;
    EXPECT_FALSE(name.isEmpty()) << "no name for " << text.toStdString() << " in "
                                 << window.objectName().toStdString();
    if (!text.isEmpty()) keys.insert(Upper(name));
    if (hint) keys.insert(Upper(QStringLiteral("Hint_") + name));
  }
}

MainFormStart QuietStart() {
  MainFormStart start;
  start.busyWait = false;
  start.linkService = "NOXTRANSLATIONSTEST";
  return start;
}

TEST(Translations, CoverEveryTextOfEveryWindow) {
  FormPtr<TMainForm> main = CreateForm<TMainForm>(QuietStart());
  convert::Workspace& workspace = main->Workspace();
  FormPtr<TFormFunc> editor = CreateForm<TFormFunc>(workspace, nullptr);
  const convert::DescriptionText description;
  std::vector<FormPtr<TNoxForm>> dialogs;
  dialogs.push_back(CreateForm<TFormNew>());
  dialogs.push_back(CreateForm<TFormFile>(workspace));
  dialogs.push_back(CreateForm<TFormConvOptions>(workspace));
  dialogs.push_back(CreateForm<TFormMemo>(workspace, nullptr, editor.get()));
  dialogs.push_back(CreateForm<TFormView>(description));
  dialogs.push_back(CreateForm<TFormAbout>());
  dialogs.push_back(CreateForm<TFormPres>());
  dialogs.push_back(CreateForm<calc::TFormCalcul>());
  dialogs.push_back(CreateForm<TFormSettings>());
  dialogs.push_back(CreateForm<TFormTable>());

  std::set<std::string> needed;
  CollectKeys(*main, needed);
  CollectKeys(main->FormConvert(), needed);
  CollectKeys(*editor, needed);
  for (const FormPtr<TNoxForm>& form : dialogs)
    CollectKeys(*form, needed);
  // The file dialogs' titles, by the dialogs' names.
  {
    ScopedFileDialogTestHook names([&](const FileDialogSpec& spec) -> std::optional<QString> {
      EXPECT_FALSE(spec.name.isEmpty()) << spec.title.toStdString();
      needed.insert(Upper(spec.name));
      return std::nullopt;
    });
    main->OpenClick();
    main->SaveAsClick();
    main->OtherTableClick();
    for (const char* browse : {"BtnSource", "BtnTarget"})
      dialogs.front()->findChild<QPushButton*>(QString::fromLatin1(browse))->click();
  }
  // Texts the same in every language (the product's name and version, the calculator's key
  // legends) and displays that the windows fill with data.
  for (const char* same :
       {"MainForm", "ProductName", "Version", "BtnMC", "BtnMR", "BtnMS", "BtnMPlus", "BtnCE",
        "BtnC", "LblProgCount", "LblDisp", "LblB", "LblMem"})
    needed.erase(Upper(QString::fromLatin1(same)));

  std::set<std::string> shipped;
  for (const ResourceEntry& entry : ShippedEntries())
    shipped.insert(Upper(QString::fromStdString(entry.key)));
  for (const std::string& key : needed)
    EXPECT_TRUE(shipped.contains(key)) << "no translation for " << key;
  // An entry no window looks up is left from a control renamed or gone.
  for (const std::string& key : shipped)
    EXPECT_TRUE(needed.contains(key)) << "nothing looks up " << key;
}

// The program as installed: the shipped file beside it, a shared directory of its own, a folder
// to start in with a Params.ini choosing the language for the interface and the system texts.
class TranslatedWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    previous = QDir::currentPath();
    const fs::path root = dir.path().toStdString();
    fs::create_directories(root / "bin");
    fs::create_directories(root / "shared");
    fs::create_directories(root / "work");
    fs::copy_file(NOXRESTR_PATH, root / "bin" / kDefaultResourceFile);
    std::ofstream(root / "engine.cfg") << "[Engine]\nNETDIR=" << (root / "shared").string() << "\n";
    qputenv("NOX_ENGINE_CONFIG", QByteArray::fromStdString((root / "engine.cfg").string()));
    tables::ReloadEngineConfig();
    QDir::setCurrent(QString::fromStdString((root / "work").string()));
    FormSharedState::Instance().Settings() = InterfaceSettings();
    InstallTranslation(root / "bin" / "noxconvert");
  }
  void TearDown() override {
    for (const testing::ShownDialog& shown : answers.Shown())
      ADD_FAILURE() << "a message: " << shown.message.toStdString();
    InstalledServices() = FormServices();
    SetProgramFile({});
    qunsetenv("NOX_ENGINE_CONFIG");
    tables::ReloadEngineConfig();
    QDir::setCurrent(previous);
  }
  void Language(int language) {
    std::ofstream(fs::path(dir.path().toStdString()) / "work" / "Params.ini")
        << "LANGUAGE=" << language << "\r\nSYSLANGUAGE=" << language << "\r\n";
  }
  // The texts of the main window's controls, menus, menu items and tool buttons' hints.
  static QString Text(const QWidget& window, const char* name) {
    const QString key = QString::fromLatin1(name);
    if (const auto* label = window.findChild<QLabel*>(key)) return label->text();
    if (const auto* button = window.findChild<QAbstractButton*>(key)) {
      return button->text().isEmpty() ? button->toolTip() : button->text();
    }
    if (const auto* group = window.findChild<QGroupBox*>(key)) return group->title();
    if (const auto* menu = window.findChild<QMenu*>(key)) return menu->title();
    if (const auto* action = window.findChild<QAction*>(key)) return action->text();
    ADD_FAILURE() << "no " << name;
    return {};
  }
  void ExpectTexts(const QWidget& window,
                   const std::vector<std::pair<const char*, QString>>& texts) {
    for (const auto& [name, text] : texts)
      EXPECT_EQ(Text(window, name), text) << name;
  }

  QTemporaryDir dir;
  QString previous;
  testing::DialogAnswerer answers;  // no error is to be shown
};

TEST_F(TranslatedWindows, RussianFromAFreshLanguageTable) {
  Language(2);
  FormPtr<TMainForm> main = CreateForm<TMainForm>(QuietStart());
  EXPECT_TRUE(fs::exists(fs::path(dir.path().toStdString()) / "shared" / "Lnoxconv.db"));
  ExpectTexts(*main, {{"File1", QStringLiteral("&Файл")},
                      {"New1", QStringLiteral("&Создать")},
                      {"Convertationoptions1", QStringLiteral("Параметры &конвертации")},
                      {"About1", QStringLiteral("&О программе")},
                      {"BBAdd", QStringLiteral("Добавить")},
                      {"BBFunction", QStringLiteral("Функция")},
                      {"SBSave", QStringLiteral("Сохранить")},
                      {"GBSource", QStringLiteral("Источник")},
                      {"GBTarget", QStringLiteral("Приемник")},
                      {"PanelRelations", QStringLiteral("Связи")},
                      {"LblSName", QStringLiteral("Имя:")},
                      {"LblFilter", QStringLiteral("Фильтр исходного файла")}});
  EXPECT_EQ(main->FormConvert().windowTitle(), QStringLiteral("Конвертация"));
  EXPECT_EQ(Text(main->FormConvert(), "LabelKeyViol"), QStringLiteral("Нарушения ключа"));
}

TEST_F(TranslatedWindows, LatvianInTheMainWindowAndTheCalculator) {
  Language(3);
  FormPtr<TMainForm> main = CreateForm<TMainForm>(QuietStart());
  ExpectTexts(*main, {{"File1", QStringLiteral("&Fails")},
                      {"SaveAs1", QStringLiteral("Sagla&bāt kā")},
                      {"Changebases1", QStringLiteral("Mainīt &bāzes")},
                      {"BBDelete", QStringLiteral("Dzēst")},
                      {"SBOpen", QStringLiteral("Atvērt")},
                      {"GBTarget", QStringLiteral("Mērķis")},
                      {"LblSPath", QStringLiteral("Ceļš:")},
                      {"LblPack", QStringLiteral("Summējamie lauki")}});
  // The calculator's own texts are Latvian already, but for the spelling of one menu item.
  FormPtr<calc::TFormCalcul> calculator = CreateForm<calc::TFormCalcul>();
  EXPECT_EQ(calculator->windowTitle(), QStringLiteral("Kalkulators"));
  ExpectTexts(*calculator, {{"MenuAbout", QStringLiteral("Par kalkulatoru")},
                            {"MemoryBox", QStringLiteral("Atmiņa")},
                            {"BtnCE", QStringLiteral("CE")}});
}

}  // namespace
}  // namespace nox::forms

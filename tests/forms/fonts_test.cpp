#include "forms/fonts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QValidator>
#include <string>

#include "convert/description_file.h"
#include "forms/grad_caption.h"
#include "forms/nox_form.h"
#include "forms/painters.h"
#include "forms/text.h"

namespace nox::forms {
namespace {

// A standard label beside the maker's controls of each language class.
class FontForm : public TNoxForm {
 public:
  explicit FontForm(const char* name) {
    setObjectName(QString::fromLatin1(name));
    standard = new QLabel(QStringLiteral("standard"), this);
    label = new TNoxLabel(QStringLiteral("maker's"), this);
    edit = new QLineEdit(this);
    edit->setProperty("CharSetStyle", "cssAsEdit");
    GuardCodePage(*edit);
    memoAsLabel = new QPlainTextEdit(this);
    memoAsLabel->setProperty("CharSetStyle", "csAsLabel");
    memoAsEdit = new QPlainTextEdit(this);
    memoAsEdit->setProperty("CharSetStyle", "csAsEdit");
    plainEdit = new QLineEdit(this);
    GuardCodePage(*plainEdit);
  }
  QLabel* standard;
  TNoxLabel* label;
  QLineEdit* edit;
  QPlainTextEdit* memoAsLabel;
  QPlainTextEdit* memoAsEdit;
  QLineEdit* plainEdit;
};

bool Accepts(QLineEdit& edit, QString text) {
  int position = 0;
  return edit.validator()->validate(text, position) == QValidator::Acceptable;
}

TEST(Fonts, ControlsTakeTheConfiguredFacesAndTheCharacterSetsOfTheirLanguages) {
  InterfaceSettings settings;
  settings.languages = {3, 2, 1, 1, 1};
  settings.fonts[static_cast<int>(FontUse::Form)] = "font:DejaVu Serif;10";
  settings.fonts[static_cast<int>(FontUse::Grid)] = "FONT:DejaVu Sans Mono";
  settings.dirForTransl = QDir::current().filePath(QStringLiteral("transl")).toStdString();
  settings.charSetNames = {"BALTIC", "RUSSIAN", "GREEK"};
  convert::DescriptionText file;
  file.lines = SettingsFileLines(settings);
  file.WriteFile(kSettingsFileName);
  const QString standardFace = QApplication::font().family();

  FormPtr<FontForm> form = CreateForm<FontForm>("FormFonts");
  EXPECT_EQ(form->font().family(), "DejaVu Serif");
  EXPECT_EQ(form->standard->font().family(), standardFace);
  EXPECT_FALSE(form->standard->property(kCharSetProperty).isValid());
  EXPECT_EQ(form->label->font().family(), "DejaVu Serif");
  EXPECT_EQ(form->memoAsLabel->font().family(), "DejaVu Sans Mono");
  struct Case {
    QWidget* control;
    int charSet;
    host::CodePage page;
  };
  const Case cases[] = {
      {form->label, 161, host::CodePage::Windows1253},  // interface: language 3, GREEK
      {form->edit, 204, host::CodePage::Windows1251},   // edit: language 2, RUSSIAN
      {form->memoAsLabel, 161, host::CodePage::Windows1253},
      {form->memoAsEdit, 204, host::CodePage::Windows1251},
      {form->GradCaption(), 161, host::CodePage::Windows1253},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.control->property(kCharSetProperty).toInt(), c.charSet) << c.charSet;
    EXPECT_EQ(ControlCodePage(*c.control), c.page) << c.charSet;
  }
  EXPECT_EQ(ControlCodePage(*form->standard), host::CodePage::Windows1257);
  // Typed text follows the edit's code page.
  EXPECT_TRUE(Accepts(*form->edit, QStringLiteral("Мир")));
  EXPECT_FALSE(Accepts(*form->edit, QStringLiteral("Šķ")));
  EXPECT_TRUE(Accepts(*form->plainEdit, QStringLiteral("Šķ")));
  EXPECT_FALSE(Accepts(*form->plainEdit, QStringLiteral("Мир")));

  // The main window's caption is always Baltic; the caption follows the window's title.
  FormPtr<FontForm> main = CreateForm<FontForm>("MainForm");
  EXPECT_EQ(main->GradCaption()->property(kCharSetProperty).toInt(), 186);
  main->setWindowTitle(QStringLiteral("Galvenais"));
  EXPECT_EQ(main->GradCaption()->Caption(), "Galvenais");
  main.reset();
  form.reset();
  EXPECT_TRUE(QFile::remove(QString::fromLatin1(kSettingsFileName)));
}

}  // namespace
}  // namespace nox::forms

#include "forms/settings_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "forms/char_sets.h"
#include "forms/shared_state.h"

namespace nox::forms {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

std::string ReadBytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

// The settings file the program writes on its first start without any file: every line, in
// order, as a user finds it.
const Lines kFirstFile = {"{Languages}",
                          "LANGUAGE=1",
                          "EDITLANGUAGE=1",
                          "SYSLANGUAGE=1",
                          "HELPLANGUAGE=1",
                          "PRINTLANGUAGE=1",
                          "",
                          "{Fonts}",
                          "FONT FOR FORM=Not defined",
                          "FONT FOR GRID=Not defined",
                          "FONT FOR GRID CAPTURE=Not defined",
                          "FONT FOR PRINT=Not defined",
                          "FONT FOR PRINT CAPTURE=Not defined",
                          "",
                          "{Background}",
                          "FONFORFORM=",
                          "LOGOFORFORM=",
                          "",
                          "{PageControlStyle}",
                          "PAGE CONTROL=AS LABEL",
                          "",
                          "{Beeper}",
                          "BEEPER LENGTH=0",
                          "",
                          "{DirForTransl}",
                          "DIR FOR TRANSL=",
                          "",
                          "{DirForSysTransl}",
                          "DIR FOR SYS TRANSL=",
                          "",
                          "",
                          "{KeyboardLayout}",
                          "KBD1=",
                          "KBD2=",
                          "KBD3=",
                          "KBD4=",
                          "KBD5=",
                          "KBD6=",
                          "KBD7=",
                          "KBD8=",
                          "KBD9=",
                          "KBD10=",
                          "",
                          "{Character Set}",
                          "CHRSET1=",
                          "CHRSET2=",
                          "CHRSET3=",
                          "CHRSET4=",
                          "CHRSET5=",
                          "CHRSET6=",
                          "CHRSET7=",
                          "CHRSET8=",
                          "CHRSET9=",
                          "CHRSET10="};

std::string CrLf(const Lines& lines) {
  std::string bytes;
  for (const std::string& line : lines)
    bytes += line + "\r\n";
  return bytes;
}

// Runs in a directory of its own, with the translation directory's default inside it.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    previous = QDir::currentPath();
    FormSharedState::Instance().Settings() = InterfaceSettings();
    QDir::setCurrent(dir.path());
    qputenv("XDG_DATA_HOME", Path("data").toLocal8Bit());
  }
  void TearDown() override {
    EXPECT_EQ(FormSharedState::Instance().Holders(), 0);
    QDir::setCurrent(previous);
  }
  QString Path(const char* name) const { return QDir(dir.path()).filePath(name); }
  fs::path Params() const { return Path("Params.ini").toStdString(); }
  std::string DefaultTranslDir() const { return Path("data/nox/LangUpd").toStdString(); }

  // One run of the program with one window: the window joins the shared state, then leaves it.
  InterfaceSettings Start() {
    FormSharedState& state = FormSharedState::Instance();
    state.Settings() = InterfaceSettings();
    state.Join(Path("NoxReStr.Ini").toStdString(), nullptr);
    InterfaceSettings settings = state.Settings();
    state.Leave();
    return settings;
  }

  QTemporaryDir dir;
  QString previous;
};

TEST_F(SettingsTest, FirstStartWritesTheWholeFileAndTheNextOneFillsTheTranslationDirectory) {
  const InterfaceSettings first = Start();
  EXPECT_EQ(first.Font(FontUse::Form), "Not defined");
  EXPECT_EQ(ReadBytes(Params()), CrLf(kFirstFile));

  const InterfaceSettings second = Start();
  EXPECT_EQ(second.dirForTransl, DefaultTranslDir());
  EXPECT_TRUE(fs::is_directory(DefaultTranslDir()));
  Lines expected = kFirstFile;
  expected[25] = "DIR FOR TRANSL=" + DefaultTranslDir();
  expected[28] = "DIR FOR SYS TRANSL=/usr/local/share/nox/LangUpd";
  EXPECT_EQ(ReadBytes(Params()), CrLf(expected));  // KBD1 and CHRSET1 stay empty: present

  // Complete now: the third start leaves the file alone, whatever its line ends.
  std::string bytes = CrLf(expected);
  for (char& c : bytes) {
    if (c == '\n') c = '\r';
  }
  WriteBytes(Params(), bytes);
  Start();
  EXPECT_EQ(ReadBytes(Params()), bytes);
}

TEST_F(SettingsTest, EntriesOfTheFile) {
  // A complete file, changed by one line in each case.
  InterfaceSettings complete;
  complete.dirForTransl = "/srv/transl";
  complete.dirForSysTransl = "/srv/sys";
  complete.keyboards[0] = "LATVIAN";
  complete.charSetNames[0] = "BALTIC";
  struct Case {
    const char* name;
    std::string replace;  // the line starting with this...
    std::string by;       // ...becomes this one ("" removes it)
    bool rewritten;
    int language;
    std::string kbd1;
    int beeper;
  };
  const Case cases[] = {
      {"complete", "", "", false, 1, "LATVIAN", 0},
      {"no KBD1", "KBD1=", "", true, 1, "LATVIAN", 0},
      {"empty KBD1", "KBD1=", "KBD1=", false, 1, "", 0},
      {"not an integer", "LANGUAGE=", "LANGUAGE=two", true, 1, "LATVIAN", 0},
      {"lower case", "LANGUAGE=", "language= 2", false, 2, "LATVIAN", 0},
      {"beeper", "BEEPER LENGTH=", "Beeper Length=x", true, 1, "LATVIAN", 0},
      {"beeper set", "BEEPER LENGTH=", "beeper length=7", false, 1, "LATVIAN", 7},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Lines lines = SettingsFileLines(complete);
    const auto line = std::find_if(lines.begin(), lines.end(), [&](const std::string& text) {
      return !c.replace.empty() && text.rfind(c.replace, 0) == 0;
    });
    if (line != lines.end()) {
      if (c.by.empty()) {
        lines.erase(line);
      } else {
        *line = c.by;
      }
    }
    WriteBytes(Params(), CrLf(lines));
    const InterfaceSettings read = Start();
    EXPECT_EQ(read.Language(LanguageClass::Interface), c.language);
    EXPECT_EQ(read.keyboards[0], c.kbd1);
    EXPECT_EQ(read.beeperLength, c.beeper);
    const std::string written = ReadBytes(Params());
    EXPECT_EQ(written != CrLf(lines), c.rewritten);
    if (c.rewritten) {
      EXPECT_EQ(written, CrLf(SettingsFileLines(read)));
    }
  }
}

TEST_F(SettingsTest, ASecondWindowReadsNothing) {
  FormSharedState& state = FormSharedState::Instance();
  InterfaceSettings written;
  written.languages[0] = 2;
  written.dirForTransl = "/srv/transl";
  WriteBytes(Params(), CrLf(SettingsFileLines(written)));
  state.Join("NoxReStr.Ini", nullptr);
  written.languages[0] = 3;
  WriteBytes(Params(), CrLf(SettingsFileLines(written)));
  state.Join("NoxReStr.Ini", nullptr);
  EXPECT_EQ(state.Settings().Language(LanguageClass::Interface), 2);
  EXPECT_EQ(state.SettingValue("page control"), "AS LABEL");
  state.Leave();
  EXPECT_NE(state.SettingsList(), nullptr);  // the other window still holds it
  state.Leave();
  EXPECT_EQ(state.SettingsList(), nullptr);
  EXPECT_EQ(state.SettingValue("PAGE CONTROL"), "");
}

TEST_F(SettingsTest, TheTranslationDirectoryThatCannotBeMade) {
  WriteBytes(Path("data").toStdString(), "a file in the way");
  FormSharedState& state = FormSharedState::Instance();
  WriteBytes(Params(), "DIR FOR TRANSL= \r\n");
  try {
    state.Join("NoxReStr.Ini", nullptr);
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& error) {
    EXPECT_EQ(error.what(), "Cannot create " + Path("data").toStdString());
  }
  state.Leave();  // the file is rewritten from what was read before the error
  EXPECT_NE(ReadBytes(Params()).find("\r\nLANGUAGE=1\r\n"), std::string::npos);
}

TEST_F(SettingsTest, ResourceFileDefaultsStandInForAMissingSettingsFile) {
  struct Case {
    Lines resource;
    int language, edit;
    std::string formFont, gridFont, fon;
  };
  const Case cases[] = {
      {{"Empty"}, 1, 1, "Not defined", "Not defined", ""},
      {{"$ language", "2", "$ EditLanguage", "$ Font For Grid", "FONT:Arial;9", "$ FonForForm"},
       2,
       1,
       "Not defined",
       "FONT:Arial;9",
       ""},
      {{"$ Language", "x", "$ Font For Form", "  ", "$ FonForForm", "fon.bmp"},
       1,
       1,
       "Not defined",
       "Not defined",
       "fon.bmp"},
      {{"$ EditLanguage", "$ Other", "3"}, 1, 3, "Not defined", "Not defined", ""},
  };
  for (const Case& c : cases) {
    InterfaceSettings settings;
    ReadResourceDefaults(c.resource, settings);
    EXPECT_EQ(settings.Language(LanguageClass::Interface), c.language);
    EXPECT_EQ(settings.Language(LanguageClass::Edit), c.edit);
    EXPECT_EQ(settings.Font(FontUse::Form), c.formFont);
    EXPECT_EQ(settings.Font(FontUse::Grid), c.gridFont);
    EXPECT_EQ(settings.fonForForm, c.fon);
  }
  // Through the shared state: only without a settings file.
  WriteBytes(Path("NoxReStr.Ini").toStdString(), "$ Language\n2\n");
  EXPECT_EQ(Start().Language(LanguageClass::Interface), 2);
  EXPECT_NE(ReadBytes(Params()).find("\r\nLANGUAGE=2\r\n"), std::string::npos);
  WriteBytes(Path("NoxReStr.Ini").toStdString(), "$ Language\n3\n");
  EXPECT_EQ(Start().Language(LanguageClass::Interface), 2);
}

TEST(CharSets, LanguagesTakeTheCharacterSetOfTheirName) {
  const NameValueList table = BuildNameCodeTable();
  InterfaceSettings settings;
  settings.charSetNames = {"BALTIC", "", "GREEK", "THAI", "THAI_CHARSET", "russian", "NOSUCH"};
  const std::pair<int, int> cases[] = {{1, 186}, {2, 186}, {3, 161}, {4, 186}, {5, 222},
                                       {6, 204}, {7, 186}, {0, 186}, {11, 186}};
  for (const auto& [language, charSet] : cases)
    EXPECT_EQ(LanguageCharSet(table, settings, language), charSet) << language;

  settings.languages = {3, 6, 1, 2, 5};
  ResolveCharSets(table, settings);
  EXPECT_EQ(settings.charSets, (std::array<int, 4>{161, 204, 186, 222}));
  EXPECT_EQ(CodePageOfCharSet(1, settings), host::CodePage::Windows1253);  // the interface's
}

TEST(CharSets, TheNameCodeTableInItsOrder) {
  const NameValueList table = BuildNameCodeTable();
  const Lines& lines = table.Lines();
  ASSERT_EQ(lines.size(), 65u);
  EXPECT_EQ(lines[0], "{KeyboardLayout}");
  EXPECT_EQ(lines[1], "NEUTRAL=0");
  EXPECT_EQ(lines[2], "AFRIKAANS=54");
  EXPECT_EQ(lines[43], "VIETNAMESE=42");
  EXPECT_EQ(lines[44], " ");
  EXPECT_EQ(lines[45], "{Character Set}");
  EXPECT_EQ(lines[46], "BALTIC_CHARSET=186");
  EXPECT_EQ(lines[64], "MAC_CHARSET=77");
}

TEST(CharSets, FontSpecifications) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"font:Times New Roman;12", "Times New Roman"},
      {"FONT:Arial", "Arial"},
      {"FONT:Arial:bold;9", "Arial"},
      {"Times New Roman", std::nullopt},
      {"Default", std::nullopt},
      {"Not defined", std::nullopt},
      {"", std::nullopt},
      {"FONT:;9", std::nullopt},
      {"FONTS:Arial", std::nullopt},
  };
  for (const auto& [specification, face] : cases)
    EXPECT_EQ(FontFaceOf(specification), face) << specification;
}

}  // namespace
}  // namespace nox::forms

#pragma once
// The interface settings of the program: the values every window takes its languages, fonts and
// character sets from, the settings file "Params.ini" that keeps them, and the default entries of
// the resource-string file. No windows here, so all of it runs headless.

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nox::forms {

inline constexpr const char* kSettingsFileName = "Params.ini";

// Lines of the form name=value, looked up by name without regard to case; other lines carry no
// meaning. Holds the settings file and the name-code table.
class NameValueList {
 public:
  NameValueList() = default;
  explicit NameValueList(std::vector<std::string> lines) : lines_(std::move(lines)) {}

  const std::vector<std::string>& Lines() const { return lines_; }
  std::vector<std::string>& Lines() { return lines_; }
  // The value of the first line with that name; nothing when no line has it.
  std::optional<std::string> Find(std::string_view name) const;

 private:
  std::vector<std::string> lines_;
};

// The language classes, in the order of their indexes.
enum class LanguageClass { Interface, Edit, System, Help, Print };
// The font specifications, in the order of the settings that hold them.
enum class FontUse { Form, Grid, GridCaption, Print, PrintCaption };

inline constexpr int kBalticCharSet = 186;

// The process-wide interface settings. Their values stay for the life of the process.
struct InterfaceSettings {
  std::array<int, 5> languages{1, 1, 1, 1, 1};  // by LanguageClass
  // Interface, edit, system and print (the help language has none).
  std::array<int, 4> charSets{kBalticCharSet, kBalticCharSet, kBalticCharSet, kBalticCharSet};
  std::array<std::string, 5> fonts{"Default", "Default", "Default", "Default", "Default"};
  std::string fonForForm;
  std::string logoForForm;
  std::string pageControl = "AS LABEL";
  int beeperLength = 0;
  std::string dirForTransl;
  std::string dirForSysTransl;
  std::array<std::string, 10> keyboards;     // KBD1..KBD10
  std::array<std::string, 10> charSetNames;  // CHRSET1..CHRSET10

  int Language(LanguageClass which) const { return languages[static_cast<std::size_t>(which)]; }
  const std::string& Font(FontUse use) const { return fonts[static_cast<std::size_t>(use)]; }
  // The character set of a language class; the help class has the interface's.
  int CharSet(LanguageClass which) const;
};

// Where the translation directories go when the settings file names none.
struct TranslationDirDefaults {
  std::filesystem::path dirForTransl;  // created, with its parents, when taken
  std::string dirForSysTransl;         // kept only
};
// The folder of the user's own data: $XDG_DATA_HOME (else ~/.local/share) + "nox".
std::filesystem::path UserDataDirectory();
// This platform's defaults: the user's data folder + "LangUpd", and
// "/usr/local/share/nox/LangUpd" for the system translations.
TranslationDirDefaults DefaultTranslationDirs();

// Reads the entries of a loaded settings file into the settings, in the file's documented order.
// Sets dirty when the file lacks entries or holds bad ones, so that it must be written again.
// Taking the default translation directory creates it; "Cannot create " + the part of the path
// that failed when that is impossible (the entries after it are then not read).
void ReadSettingsEntries(const NameValueList& file, const TranslationDirDefaults& defaults,
                         InterfaceSettings& settings, bool& dirty);

// The defaults that the resource-string file gives when there is no settings file: its lines
// "$ Name" followed by a value line.
void ReadResourceDefaults(const std::vector<std::string>& resourceLines,
                          InterfaceSettings& settings);

// The whole settings file, line by line, as WriteSettingsFile stores it.
std::vector<std::string> SettingsFileLines(const InterfaceSettings& settings);

// An integer as the settings hold it: optional blanks around an optional sign and digits.
std::optional<int> ParseSettingInteger(std::string_view text);
// Empty or only spaces.
bool IsBlank(std::string_view text);
bool SameText(std::string_view a, std::string_view b);

}  // namespace nox::forms

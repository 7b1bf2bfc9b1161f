#include "forms/settings_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace nox::forms {
namespace {

constexpr std::array<const char*, 5> kLanguageNames = {"Language", "EditLanguage", "SysLanguage",
                                                       "HelpLanguage", "PrintLanguage"};
// Read in this order; the file writes the grid caption before the print fonts.
constexpr std::array<std::pair<const char*, FontUse>, 5> kFontNames = {{
    {"Font For Form", FontUse::Form},
    {"Font For Grid", FontUse::Grid},
    {"Font For Grid Capture", FontUse::GridCaption},
    {"Font For Print Capture", FontUse::PrintCaption},
    {"Font For Print", FontUse::Print},
}};
constexpr const char* kNotDefined = "Not defined";

std::string Upper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return upper;
}

// Creates a directory with its missing parents, naming the first part that cannot be made.
void CreateDirectoryPath(const std::filesystem::path& directory) {
  std::filesystem::path part;
  for (const std::filesystem::path& piece : directory) {
    part /= piece;
    if (part == part.root_path()) continue;
    std::error_code error;
    if (std::filesystem::is_directory(part, error)) continue;
    if (!std::filesystem::create_directory(part, error) || error) {
      throw std::runtime_error("Cannot create " + part.string());
    }
  }
}

// An integer setting: its default, and dirty, when absent, blank or not an integer.
bool ReadInteger(const NameValueList& file, const char* name, int fallback, int& value) {
  const std::optional<std::string> text = file.Find(name);
  const std::optional<int> number = text ? ParseSettingInteger(*text) : std::nullopt;
  value = number.value_or(fallback);
  return !number;
}

// A text kept as it stands, blank or not; dirty when absent.
bool ReadKept(const NameValueList& file, const char* name, std::string& value) {
  const std::optional<std::string> text = file.Find(name);
  if (!text) return true;
  value = *text;
  return false;
}

// A keyboard or character-set name: absent takes the default (if any) and is dirty; present but
// blank leaves the value as it is.
bool ReadNamed(const NameValueList& file, const std::string& name, const char* fallback,
               std::string& value) {
  const std::optional<std::string> text = file.Find(name);
  if (!text) {
    if (fallback != nullptr) value = fallback;
    return true;
  }
  if (!IsBlank(*text)) value = *text;
  return false;
}

// The value of a "$ Name" line: the first following line that does not begin with "$".
// Outer nothing: no such line; inner nothing: no value line follows.
std::optional<std::optional<std::string>> ResourceDefault(const std::vector<std::string>& lines,
                                                          const std::string& name) {
  const std::string header = "$ " + name;
  const auto found = std::find_if(lines.begin(), lines.end(),
                                  [&](const std::string& line) { return SameText(line, header); });
  if (found == lines.end()) return std::nullopt;
  const auto value = std::find_if(found + 1, lines.end(), [](const std::string& line) {
    return line.empty() || line.front() != '$';
  });
  if (value == lines.end()) return std::optional<std::string>();
  return std::optional<std::string>(*value);
}

}  // namespace

bool IsBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' '; });
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && Upper(a) == Upper(b);
}

std::optional<int> ParseSettingInteger(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);
  if (text.front() == '+') text.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
    return std::nullopt;
  }
  return value;
}

std::optional<std::string> NameValueList::Find(std::string_view name) const {
  const std::string wanted = Upper(name);
  for (const std::string& line : lines_) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    if (Upper(std::string_view(line).substr(0, equals)) == wanted) return line.substr(equals + 1);
  }
  return std::nullopt;
}

int InterfaceSettings::CharSet(LanguageClass which) const {
  switch (which) {
    case LanguageClass::Interface:
    case LanguageClass::Help:
      return charSets[0];
    case LanguageClass::Edit:
      return charSets[1];
    case LanguageClass::System:
      return charSets[2];
    case LanguageClass::Print:
      return charSets[3];
  }
  return kBalticCharSet;
}

std::filesystem::path UserDataDirectory() {
  std::filesystem::path data;
  // Only an absolute XDG_DATA_HOME counts; a relative one is to be ignored.
  if (const char* xdg = std::getenv("XDG_DATA_HOME");
      xdg != nullptr && std::filesystem::path(xdg).is_absolute()) {
    data = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    data = std::filesystem::path(home) / ".local" / "share";
  } else {
    data = std::filesystem::path(".local") / "share";
  }
  return data / "nox";
}

TranslationDirDefaults DefaultTranslationDirs() {
  return {UserDataDirectory() / "LangUpd", "/usr/local/share/nox/LangUpd"};
}

void ReadSettingsEntries(const NameValueList& file, const TranslationDirDefaults& defaults,
                         InterfaceSettings& settings, bool& dirty) {
  for (std::size_t i = 0; i < kLanguageNames.size(); ++i)
    dirty |= ReadInteger(file, kLanguageNames[i], 1, settings.languages[i]);
  dirty |= ReadKept(file, "FonForForm", settings.fonForForm);
  dirty |= ReadKept(file, "LogoForForm", settings.logoForForm);
  dirty |= ReadKept(file, "PAGE CONTROL", settings.pageControl);
  dirty |= ReadInteger(file, "Beeper Length", 0, settings.beeperLength);
  for (const auto& [name, use] : kFontNames) {
    const std::optional<std::string> text = file.Find(name);
    std::string& font = settings.fonts[static_cast<std::size_t>(use)];
    font = text && !IsBlank(*text) ? *text : "Default";
    dirty |= !text;
  }
  if (const std::optional<std::string> text = file.Find("DIR FOR TRANSL");
      text && !IsBlank(*text)) {
    settings.dirForTransl = *text;
  } else {
    settings.dirForTransl = defaults.dirForTransl.string();
    dirty = true;
    CreateDirectoryPath(defaults.dirForTransl);
  }
  if (const std::optional<std::string> text = file.Find("DIR FOR SYS TRANSL");
      text && !IsBlank(*text)) {
    settings.dirForSysTransl = *text;
  } else {
    settings.dirForSysTransl = defaults.dirForSysTransl;
    dirty = true;
  }
  for (std::size_t i = 0; i < settings.keyboards.size(); ++i) {
    const char* fallback = i == 0 ? "LATVIAN" : i == 1 ? "RUSSIAN" : nullptr;
    dirty |= ReadNamed(file, "KBD" + std::to_string(i + 1), fallback, settings.keyboards[i]);
  }
  for (std::size_t i = 0; i < settings.charSetNames.size(); ++i) {
    const char* fallback = i == 0 ? "BALTIC" : i == 1 ? "RUSSIAN" : nullptr;
    dirty |= ReadNamed(file, "CHRSET" + std::to_string(i + 1), fallback, settings.charSetNames[i]);
  }
}

void ReadResourceDefaults(const std::vector<std::string>& resourceLines,
                          InterfaceSettings& settings) {
  for (std::size_t i = 0; i < kLanguageNames.size(); ++i) {
    if (const auto entry = ResourceDefault(resourceLines, kLanguageNames[i])) {
      const std::optional<int> number = *entry ? ParseSettingInteger(**entry) : std::nullopt;
      settings.languages[i] = number.value_or(1);
    }
  }
  for (const auto& [name, field] : {std::pair{"FonForForm", &settings.fonForForm},
                                    std::pair{"LogoForForm", &settings.logoForForm}}) {
    if (const auto entry = ResourceDefault(resourceLines, name)) *field = entry->value_or("");
  }
  for (const auto& [name, use] : kFontNames) {
    std::string& font = settings.fonts[static_cast<std::size_t>(use)];
    font = kNotDefined;
    if (const auto entry = ResourceDefault(resourceLines, name); entry && *entry) {
      font = IsBlank(**entry) ? kNotDefined : **entry;
    }
  }
}

std::vector<std::string> SettingsFileLines(const InterfaceSettings& settings) {
  const auto& s = settings;
  std::vector<std::string> lines = {
      "{Languages}",
      "LANGUAGE=" + std::to_string(s.languages[0]),
      "EDITLANGUAGE=" + std::to_string(s.languages[1]),
      "SYSLANGUAGE=" + std::to_string(s.languages[2]),
      "HELPLANGUAGE=" + std::to_string(s.languages[3]),
      "PRINTLANGUAGE=" + std::to_string(s.languages[4]),
      "",
      "{Fonts}",
      "FONT FOR FORM=" + s.Font(FontUse::Form),
      "FONT FOR GRID=" + s.Font(FontUse::Grid),
      "FONT FOR GRID CAPTURE=" + s.Font(FontUse::GridCaption),
      "FONT FOR PRINT=" + s.Font(FontUse::Print),
      "FONT FOR PRINT CAPTURE=" + s.Font(FontUse::PrintCaption),
      "",
      "{Background}",
      "FONFORFORM=" + s.fonForForm,
      "LOGOFORFORM=" + s.logoForForm,
      "",
      "{PageControlStyle}",
      "PAGE CONTROL=" + s.pageControl,
      "",
      "{Beeper}",
      "BEEPER LENGTH=" + std::to_string(s.beeperLength),
      "",
      "{DirForTransl}",
      "DIR FOR TRANSL=" + s.dirForTransl,
      "",
      "{DirForSysTransl}",
      "DIR FOR SYS TRANSL=" + s.dirForSysTransl,
      "",
      "",
      "{KeyboardLayout}",
  };
  for (std::size_t i = 0; i < s.keyboards.size(); ++i)
    lines.push_back("KBD" + std::to_string(i + 1) + "=" + s.keyboards[i]);
  lines.insert(lines.end(), {"", "{Character Set}"});
  for (std::size_t i = 0; i < s.charSetNames.size(); ++i)
    lines.push_back("CHRSET" + std::to_string(i + 1) + "=" + s.charSetNames[i]);
  return lines;
}

}  // namespace nox::forms

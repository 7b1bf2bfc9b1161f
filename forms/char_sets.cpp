#include "forms/char_sets.h"

#include <array>
#include <utility>

namespace nox::forms {
namespace {

// Codes are the primary language identifiers of the keyboard layouts: "NEUTRAL", then by name.
constexpr std::array<std::pair<const char*, int>, 43> kKeyboardLayouts = {{
    {"NEUTRAL", 0},     {"AFRIKAANS", 54},  {"ALBANIAN", 28},   {"ARABIC", 1},
    {"BASQUE", 45},     {"BELARUSIAN", 35}, {"BULGARIAN", 2},   {"CATALAN", 3},
    {"CHINESE", 4},     {"CROATIAN", 26},   {"CZECH", 5},       {"DANISH", 6},
    {"DUTCH", 19},      {"ENGLISH", 9},     {"ESTONIAN", 37},   {"FAEROESE", 56},
    {"FARSI", 41},      {"FRENCH", 12},     {"GERMAN", 7},      {"GREEK", 8},
    {"HEBREW", 13},     {"HUNGARIAN", 14},  {"ICELANDIC", 15},  {"INDONESIAN", 33},
    {"ITALIAN", 16},    {"JAPANESE", 17},   {"KOREAN", 18},     {"LATVIAN", 38},
    {"LITHUANIAN", 39}, {"NORWEGIAN", 20},  {"POLISH", 21},     {"PORTUGUESE", 22},
    {"ROMANIAN", 24},   {"RUSSIAN", 25},    {"SERBIAN", 26},    {"SLOVAK", 27},
    {"SLOVENIAN", 36},  {"SPANISH", 10},    {"SWEDISH", 29},    {"THAI", 30},
    {"TURKISH", 31},    {"UKRAINIAN", 34},  {"VIETNAMESE", 42},
}};
// Codes are the font character-set numbers.
constexpr std::array<std::pair<const char*, int>, 19> kCharacterSets = {{
    {"BALTIC_CHARSET", 186},      {"RUSSIAN_CHARSET", 204},    {"EASTEUROPE_CHARSET", 238},
    {"ANSI_CHARSET", 0},          {"DEFAULT_CHARSET", 1},      {"SYMBOL_CHARSET", 2},
    {"SHIFTJIS_CHARSET", 128},    {"HANGEUL_CHARSET", 129},    {"GB2312_CHARSET", 134},
    {"CHINESEBIG5_CHARSET", 136}, {"OEM_CHARSET", 255},        {"JOHAB_CHARSET", 130},
    {"HEBREW_CHARSET", 177},      {"ARABIC_CHARSET", 178},     {"GREEK_CHARSET", 161},
    {"TURKISH_CHARSET", 162},     {"VIETNAMESE_CHARSET", 163}, {"THAI_CHARSET_CHARSET", 222},
    {"MAC_CHARSET", 77},
}};

}  // namespace

NameValueList BuildNameCodeTable() {
  NameValueList table;
  std::vector<std::string>& lines = table.Lines();
  lines.emplace_back("{KeyboardLayout}");
  for (const auto& [name, code] : kKeyboardLayouts)
    lines.push_back(std::string(name) + "=" + std::to_string(code));
  lines.emplace_back(" ");
  lines.emplace_back("{Character Set}");
  for (const auto& [name, code] : kCharacterSets)
    lines.push_back(std::string(name) + "=" + std::to_string(code));
  return table;
}

int LanguageCharSet(const NameValueList& nameCodeTable, const InterfaceSettings& settings,
                    int language) {
  if (language < 1 || language > static_cast<int>(settings.charSetNames.size())) {
    return kBalticCharSet;
  }
  const std::string& name = settings.charSetNames[static_cast<std::size_t>(language - 1)];
  if (name.empty()) return kBalticCharSet;
  const std::optional<std::string> code = nameCodeTable.Find(name + "_CHARSET");
  const std::optional<int> number = code ? ParseSettingInteger(*code) : std::nullopt;
  return number.value_or(kBalticCharSet);
}

void ResolveCharSets(const NameValueList& nameCodeTable, InterfaceSettings& settings) {
  constexpr std::array<LanguageClass, 4> kClasses = {LanguageClass::Interface, LanguageClass::Edit,
                                                     LanguageClass::System, LanguageClass::Print};
  for (std::size_t i = 0; i < kClasses.size(); ++i) {
    settings.charSets[i] = LanguageCharSet(nameCodeTable, settings, settings.Language(kClasses[i]));
  }
}

std::optional<std::string> FontFaceOf(std::string_view specification) {
  const std::size_t colon = specification.find(':');
  if (colon == std::string_view::npos || !SameText(specification.substr(0, colon), "FONT")) {
    return std::nullopt;
  }
  std::string_view face = specification.substr(colon + 1);
  face = face.substr(0, face.find(':'));
  face = face.substr(0, face.find(';'));
  if (face.empty()) return std::nullopt;
  return std::string(face);
}

host::CodePage CodePageOfCharSet(int charSet, const InterfaceSettings& settings) {
  constexpr int kDefaultCharSet = 1;
  if (charSet == kDefaultCharSet) charSet = settings.CharSet(LanguageClass::Interface);
  return host::CodePageForCharset(charSet);
}

}  // namespace nox::forms

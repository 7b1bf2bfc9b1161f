#include "formula/latvian.h"

#include <array>
#include <cstdint>

namespace nox::formula {
namespace {

struct Letter {
  std::uint8_t windows;  // Windows-1257
  std::uint8_t dos;
};

// The 21 Latvian letters. Capital S with caron (Windows D0) has no DOS code of its own here.
constexpr std::array<Letter, 21> kLetters = {{
    {0xF0, 0xFD},  // s caron
    {0xC7, 0xF0},  // E macron
    {0xE7, 0xF1},  // e macron
    {0xDE, 0xF8},  // Z caron
    {0xDB, 0xDE},  // U macron
    {0xFB, 0xDD},  // u macron
    {0xCE, 0xD7},  // I macron
    {0xEE, 0xD8},  // i macron
    {0xC2, 0xB5},  // A macron
    {0xE2, 0xC6},  // a macron
    {0xF2, 0xB7},  // n cedilla
    {0xCC, 0xF2},  // G cedilla
    {0xEC, 0xD6},  // g cedilla
    {0xCD, 0xF4},  // K cedilla
    {0xED, 0xF3},  // k cedilla
    {0xCF, 0xF6},  // L cedilla
    {0xEF, 0xF5},  // l cedilla
    {0xFE, 0xF7},  // z caron
    {0xC8, 0xD3},  // C caron
    {0xD2, 0xFC},  // N cedilla
    {0xE8, 0xD2},  // c caron
}};

using ByteMap = std::array<std::uint8_t, 256>;

constexpr ByteMap MakeMap(bool toWindows) {
  ByteMap map{};
  for (std::size_t b = 0; b < map.size(); ++b)
    map[b] = static_cast<std::uint8_t>(b);
  for (const Letter& letter : kLetters) {
    if (toWindows) {
      map[letter.dos] = letter.windows;
    } else {
      map[letter.windows] = letter.dos;
    }
  }
  return map;
}

constexpr ByteMap kDosToWin = MakeMap(true);
constexpr ByteMap kWinToDos = MakeMap(false);

std::string Translate(const ByteMap& map, std::string_view text) {
  std::string result(text);
  for (char& c : result)
    c = static_cast<char>(map[static_cast<std::uint8_t>(c)]);
  return result;
}

tables::Value Translate(const ByteMap& map, const tables::Value& value) {
  if (value.kind() != tables::Value::Kind::Text) return value;
  return tables::Value::Text(Translate(map, value.text()));
}

}  // namespace

std::string LatvianDosToWin(std::string_view text) {
  return Translate(kDosToWin, text);
}
std::string LatvianWinToDos(std::string_view text) {
  return Translate(kWinToDos, text);
}
tables::Value LatvianDosToWin(const tables::Value& value) {
  return Translate(kDosToWin, value);
}
tables::Value LatvianWinToDos(const tables::Value& value) {
  return Translate(kWinToDos, value);
}

}  // namespace nox::formula

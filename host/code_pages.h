#pragma once
// Single-byte code pages, used only at the edges: data text stays in its bytes everywhere else.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nox::host {

enum class CodePage {
  Windows1250,  // Central European (character set 238)
  Windows1251,  // Cyrillic (204)
  Windows1252,  // Western (0)
  Windows1257,  // Baltic (186)
  Dos775,       // Baltic DOS (OEM, 255)
  Dos866,       // Cyrillic DOS
  Windows1253,  // Greek (161)
  Windows1254,  // Turkish (162)
  Windows1255,  // Hebrew (177)
  Windows1256,  // Arabic (178)
  Windows1258,  // Vietnamese (163)
  Windows874,   // Thai (222)
};

// The code page a Windows character-set number selects (186 Baltic, 204 Russian, 238 Eastern
// European, 0 Western, 161 Greek, 162 Turkish, 163 Vietnamese, 177 Hebrew, 178 Arabic, 222 Thai,
// 255 OEM as the Baltic DOS code page); Windows-1257, the program's own, for 1 (the default
// character set) and for any number without a single-byte code page.
CodePage CodePageForCharset(int charset);

// The Unicode code point of a byte; nothing for a byte the code page leaves undefined.
std::optional<char32_t> ByteToUnicode(CodePage page, std::uint8_t byte);
// The byte that stands for a code point; nothing when the code page has none.
std::optional<std::uint8_t> UnicodeToByte(CodePage page, char32_t codePoint);

// Whole texts. Undefined bytes decode to U+FFFD; a character without a byte fails the encoding.
std::u32string DecodeText(CodePage page, std::string_view bytes);
std::string DecodeToUtf8(CodePage page, std::string_view bytes);
std::optional<std::string> EncodeText(CodePage page, std::u32string_view text);
std::optional<std::string> EncodeUtf8(CodePage page, std::string_view utf8);

}  // namespace nox::host

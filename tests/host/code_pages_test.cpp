#include "host/code_pages.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>

namespace nox::host {
namespace {

constexpr CodePage kAllPages[] = {CodePage::Windows1250, CodePage::Windows1251,
                                  CodePage::Windows1252, CodePage::Windows1257,
                                  CodePage::Dos775,      CodePage::Dos866};

TEST(CodePagesTest, KnowsTheLettersOfEachPage) {
  struct Case {
    CodePage page;
    std::uint8_t byte;
    std::optional<char32_t> expected;
  };
  const Case cases[] = {
      {CodePage::Windows1257, 0xD0, U'\u0160'},  // Š
      {CodePage::Windows1257, 0xF0, U'\u0161'},  // š
      {CodePage::Windows1257, 0xC7, U'\u0112'},  // Ē
      {CodePage::Windows1257, 0xFB, U'\u016B'},  // ū
      {CodePage::Windows1257, 0x80, U'\u20AC'},  // €
      {CodePage::Windows1257, 0xA8, U'\u00D8'},  // Ø
      {CodePage::Windows1257, 0x81, std::nullopt},
      {CodePage::Windows1257, 0xA1, std::nullopt},
      {CodePage::Windows1251, 0xC0, U'\u0410'},  // А
      {CodePage::Windows1251, 0xFF, U'\u044F'},  // я
      {CodePage::Windows1251, 0x98, std::nullopt},
      {CodePage::Windows1250, 0x8A, U'\u0160'},  // Š
      {CodePage::Windows1250, 0xA3, U'\u0141'},  // Ł
      {CodePage::Windows1252, 0xE9, U'\u00E9'},  // é
      {CodePage::Windows1252, 0x9F, U'\u0178'},  // Ÿ
      {CodePage::Windows1252, 0x81, std::nullopt},
      {CodePage::Dos775, 0xBE, U'\u0160'},  // Š
      {CodePage::Dos775, 0x83, U'\u0101'},  // ā
      {CodePage::Dos866, 0x80, U'\u0410'},  // А
      {CodePage::Dos866, 0xF0, U'\u0401'},  // Ё
      {CodePage::Dos866, 0xFF, U'\u00A0'},
      // The code pages read through iconv.
      {CodePage::Windows1253, 0xC1, U'\u0391'},  // Α
      {CodePage::Windows1254, 0xD0, U'\u011E'},  // Ğ
      {CodePage::Windows1255, 0xE0, U'\u05D0'},  // א
      {CodePage::Windows1256, 0xC7, U'\u0627'},  // ا
      {CodePage::Windows1258, 0xC3, U'\u0102'},  // Ă
      {CodePage::Windows874, 0xA1, U'\u0E01'},   // ก
      {CodePage::Windows874, 0xDB, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << static_cast<int>(c.page) << " byte " << int{c.byte});
    EXPECT_EQ(ByteToUnicode(c.page, c.byte), c.expected);
    if (c.expected) {
      EXPECT_EQ(UnicodeToByte(c.page, *c.expected), c.byte);
    }
  }
}

TEST(CodePagesTest, EveryDefinedByteRoundTripsAndAsciiIsItself) {
  for (const CodePage page : kAllPages) {
    SCOPED_TRACE(static_cast<int>(page));
    int defined = 0;
    for (int b = 0; b < 256; ++b) {
      const auto byte = static_cast<std::uint8_t>(b);
      const auto c = ByteToUnicode(page, byte);
      if (b < 0x80) {
        ASSERT_EQ(c, char32_t(b));
      }
      if (!c) continue;
      ++defined;
      ASSERT_EQ(UnicodeToByte(page, *c), byte) << "byte " << b;
    }
    EXPECT_GE(defined, 244);
  }
}

TEST(CodePagesTest, CharactersWithoutByteAreRefused) {
  EXPECT_EQ(UnicodeToByte(CodePage::Windows1257, U'\u0410'), std::nullopt);  // А
  EXPECT_EQ(UnicodeToByte(CodePage::Windows1251, U'\u0160'), std::nullopt);  // Š
  EXPECT_EQ(UnicodeToByte(CodePage::Windows1252, U'\U0001F600'), std::nullopt);
  EXPECT_EQ(UnicodeToByte(CodePage::Dos866, U'\uFFFD'), std::nullopt);
}

TEST(CodePagesTest, CharsetNumbersSelectPages) {
  const std::pair<int, CodePage> cases[] = {
      {186, CodePage::Windows1257}, {204, CodePage::Windows1251}, {238, CodePage::Windows1250},
      {0, CodePage::Windows1252},   {161, CodePage::Windows1253}, {162, CodePage::Windows1254},
      {177, CodePage::Windows1255}, {178, CodePage::Windows1256}, {163, CodePage::Windows1258},
      {222, CodePage::Windows874},  {255, CodePage::Dos775},      {1, CodePage::Windows1257},
      {128, CodePage::Windows1257}, {-5, CodePage::Windows1257}};
  for (const auto& [charset, page] : cases)
    EXPECT_EQ(CodePageForCharset(charset), page) << charset;
}

TEST(CodePagesTest, ConvertsWholeTexts) {
  const std::string bytes = "R\xC7tas \xD0\xF0 \x81";  // "RĒtas Šš " and an undefined byte
  EXPECT_EQ(DecodeText(CodePage::Windows1257, bytes), U"R\u0112tas \u0160\u0161 \uFFFD");
  EXPECT_EQ(DecodeToUtf8(CodePage::Windows1257, bytes), "R\u0112tas \u0160\u0161 \uFFFD");
  EXPECT_EQ(EncodeText(CodePage::Windows1257, U"R\u0112tas \u0160\u0161"), "R\xC7tas \xD0\xF0");
  EXPECT_EQ(EncodeUtf8(CodePage::Windows1257, "R\u0112tas \u0160\u0161"), "R\xC7tas \xD0\xF0");
  EXPECT_EQ(EncodeUtf8(CodePage::Windows1251, "\u041C\u0438\u0440"), "\xCC\xE8\xF0");  // Мир
  EXPECT_EQ(EncodeText(CodePage::Windows1257, U"a\u0410"), std::nullopt);
  EXPECT_EQ(EncodeUtf8(CodePage::Windows1257, ""), "");
  EXPECT_EQ(DecodeToUtf8(CodePage::Windows1257, std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(CodePagesTest, InvalidUtf8IsRefused) {
  for (const char* utf8 : {"\x80", "a\xC4", "\xC4\x41", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80",
                           "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "\xFF"}) {
    SCOPED_TRACE(utf8);
    EXPECT_EQ(EncodeUtf8(CodePage::Windows1257, utf8), std::nullopt);
  }
}

}  // namespace
}  // namespace nox::host

#include "host/number_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>

#include "host/host_formats.h"

namespace nox::host {
namespace {

TEST(FormatGeneralTest, WritesFifteenSignificantDigitsWithoutTrailingZeros) {
  struct Case {
    long double value;
    const char* expected;
  };
  const Case cases[] = {
      {0, "0"},
      {-0.0L, "0"},
      {1, "1"},
      {-1, "-1"},
      {15, "15"},
      {1.5L, "1.5"},
      {-2.25L, "-2.25"},
      {0.1L + 0.2L, "0.3"},
      {0.1 + 0.2, "0.3"},
      {1.0L / 3, "0.333333333333333"},
      {2.0L / 3, "0.666666666666667"},
      {123456789012345.0L, "123456789012345"},
      {999999999999999.0L, "999999999999999"},
      {999999999999999.9L, "1E15"},
      {1e15L, "1E15"},
      {1.5e20L, "1.5E20"},
      {-2.5e-7L, "-2.5E-7"},
      {1e-5L, "1E-5"},
      {0.0001L, "0.0001"},
      {0.00012345L, "0.00012345"},
      {0.000099999L, "9.9999E-5"},
      {1234.5678L, "1234.5678"},
      {100, "100"},
      {1e14L, "100000000000000"},
      {1.23456789012345678L, "1.23456789012346"},
      {1e300L, "1E300"},
      {-1.7976931348623157e308L, "-1.79769313486232E308"},
      {1e-300L, "1E-300"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(FormatGeneral(c.value, '.'), c.expected);
  }
}

TEST(FormatGeneralTest, DigitsWriteAndReadAsTheirText) {
  // Up to 15 digits from 0.0001 to below 1E15: written as FormatGeneral writes their value, read
  // as the formula language (the nearest double) and the host's reader (ParseFloat) read the
  // text. The two readers part in the last place now and then, which 15 digits show.
  std::mt19937_64 random(20261211);
  int parted = 0;
  for (int i = 0; i < 200000; ++i) {
    const int count = 1 + static_cast<int>(random() % 15);
    std::uint64_t digits = random() % 1000000000000000ULL;
    for (int cut = 15 - count; cut > 0; --cut)
      digits /= 10;
    const int exponent = -4 + static_cast<int>(random() % 19);
    const GeneralDigits number = GeneralDigits::Of(i % 2 == 0, digits, exponent - (count - 1));
    if (number.exponent < -4 || number.exponent > 14) continue;
    char written[kGeneralTextLimit];
    const std::string text(written, WriteGeneral(number, ',', written));
    ASSERT_EQ(FormatGeneral(number.Value(), ','), text);
    std::string pointed = text;
    std::replace(pointed.begin(), pointed.end(), ',', '.');
    ASSERT_EQ(number.Value(), std::strtod(pointed.c_str(), nullptr)) << text;
    ASSERT_EQ(number.ReadValue(), static_cast<double>(*ParseFloat(text, ','))) << text;
    if (number.Value() != number.ReadValue()) ++parted;
  }
  EXPECT_GT(parted, 0);
}

TEST(FormatGeneralTest, UsesTheGivenSeparatorAndNamesNonNumbers) {
  EXPECT_EQ(FormatGeneral(-1.5L, ','), "-1,5");
  EXPECT_EQ(FormatGeneral(1.5e-7L, ','), "1,5E-7");
  EXPECT_EQ(FormatGeneral(std::numeric_limits<long double>::quiet_NaN(), '.'), "NAN");
  EXPECT_EQ(FormatGeneral(std::numeric_limits<long double>::infinity(), '.'), "INF");
  EXPECT_EQ(FormatGeneral(-std::numeric_limits<long double>::infinity(), '.'), "-INF");
}

TEST(FormatGeneralTest, DoesNotDependOnTheCLocale) {
  // The window system sets the C locale from the environment; our texts must not follow it.
  const char* german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  if (german == nullptr) GTEST_SKIP() << "no de_DE locale installed";
  const std::string text = FormatGeneral(1.25L, '.');
  const auto number = ParseFloat("1.25", '.');
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(text, "1.25");
  EXPECT_EQ(number, 1.25L);
}

// The 15 significant digits and the decimal exponent a general-format text shows.
std::pair<std::string, int> DigitsOf(const std::string& text) {
  std::string digits;
  int exponent = 0;
  int pointAt = -1;
  bool leading = true;
  int leadingZerosAfterPoint = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == 'E') {
      exponent = std::atoi(text.c_str() + i + 1);
      break;
    }
    if (c == '.') {
      pointAt = static_cast<int>(digits.size());
      continue;
    }
    if (c < '0' || c > '9') continue;
    if (leading && c == '0') {
      if (pointAt >= 0) ++leadingZerosAfterPoint;
      continue;
    }
    leading = false;
    digits += c;
  }
  const int integerDigits = pointAt >= 0 ? pointAt : static_cast<int>(digits.size());
  while (digits.size() > 1 && digits.back() == '0')
    digits.pop_back();
  if (text.find('E') == std::string::npos) {
    exponent = integerDigits > 0 ? integerDigits - 1 : -1 - leadingZerosAfterPoint;
  }
  return {digits, exponent};
}

TEST(FormatGeneralTest, AgreesWithCorrectlyRoundedPrintfDigits) {
  // printf's digits are correctly rounded: an independent oracle for every magnitude, including
  // values scaled to lie just beside a rounding half.
  std::mt19937_64 random(20261209);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::uniform_int_distribution<int> exponent(-7, 17);
  for (int i = 0; i < 200000; ++i) {
    long double value = mantissa(random) * std::pow(10.0L, exponent(random));
    if (i % 4 == 0) value = std::floor(value * 1e6L) / 1e6L + 0.5e-14L * value;
    if (i % 2 == 1) value = -value;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.14Le", std::fabs(value));
    std::string expected;
    for (const char* p = buffer; *p != 'e'; ++p) {
      if (*p >= '0' && *p <= '9') expected += *p;
    }
    while (expected.size() > 1 && expected.back() == '0')
      expected.pop_back();
    const int expectedExponent = std::atoi(std::strchr(buffer, 'e') + 1);
    const std::string text = FormatGeneral(value, '.');
    const auto [digits, shownExponent] = DigitsOf(text);
    ASSERT_EQ(digits, expected) << text << " vs " << buffer;
    ASSERT_EQ(shownExponent, expectedExponent) << text << " vs " << buffer;
    ASSERT_EQ(text[0] == '-', value < 0) << text;
  }
}

TEST(ParseFloatTest, ReadsWholeTextsOnly) {
  struct Case {
    const char* text;
    char separator;
    std::optional<long double> expected;
  };
  const Case cases[] = {
      {"1.5", '.', 1.5L},
      {" -1.5 ", '.', -1.5L},
      {"+2", '.', 2.0L},
      {"1,5", ',', 1.5L},
      {".5", '.', 0.5L},
      {"5.", '.', 5.0L},
      {"1e3", '.', 1000.0L},
      {"1,5E-2", ',', 0.015L},
      {"-2.5e+7", '.', -2.5e7L},
      {"0", '.', 0.0L},
      {"1.5", ',', std::nullopt},
      {"1,5", '.', std::nullopt},
      {"", '.', std::nullopt},
      {"  ", '.', std::nullopt},
      {".", '.', std::nullopt},
      {"-", '.', std::nullopt},
      {"1e", '.', std::nullopt},
      {"1e+", '.', std::nullopt},
      {"e5", '.', std::nullopt},
      {"1.5x", '.', std::nullopt},
      {"1 5", '.', std::nullopt},
      {"--1", '.', std::nullopt},
      {"0x10", '.', std::nullopt},
      {"inf", '.', std::nullopt},
      {"nan", '.', std::nullopt},
      {"1.2.3", '.', std::nullopt},
      {"1e99999", '.', std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("'") + c.text + "' with '" + c.separator + "'");
    EXPECT_EQ(ParseFloat(c.text, c.separator), c.expected);
  }
}

TEST(ParseFloatTest, ReadsBackWhatFormatGeneralWrites) {
  for (long double value : {0.3L, 1.0L / 3, -2.5e-7L, 1.5e20L, 123456789012345.0L, 0.0001L}) {
    const std::string text = FormatGeneral(value, ',');
    SCOPED_TRACE(text);
    const auto back = ParseFloat(text, ',');
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(FormatGeneral(*back, ','), text);
  }
}

TEST(ParseFloatTest, AgreesWithStrtoldBitForBit) {
  // Generated texts around the limits of the exact shortcut (19 significant digits, powers of
  // ten up to 1E27) and far beyond them; strtold rounds correctly and is the oracle.
  std::mt19937_64 random(20261210);
  const auto pick = [&random](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  for (int i = 0; i < 50000; ++i) {
    std::string text;
    const int sign = pick(0, 2);
    if (sign == 1) text += '-';
    if (sign == 2) text += '+';
    text.append(static_cast<std::size_t>(pick(0, 2) == 0 ? pick(1, 3) : 0), '0');
    const int integerDigits = pick(0, 22);
    const int fractionDigits = pick(0, 22);
    for (int d = 0; d < integerDigits; ++d)
      text += static_cast<char>('0' + pick(0, 9));
    const bool point = fractionDigits > 0 || pick(0, 1) == 0;
    if (point) text += ',';
    for (int d = 0; d < fractionDigits; ++d)
      text += static_cast<char>('0' + (pick(0, 3) == 0 ? 0 : pick(0, 9)));
    if (integerDigits + fractionDigits == 0) text += '7';
    if (pick(0, 2) == 0) {
      text += pick(0, 1) == 0 ? 'e' : 'E';
      const int exponent = pick(0, 3) == 0 ? pick(-400, 400) : pick(-32, 32);
      if (exponent >= 0 && pick(0, 1) == 0) text += '+';
      text += std::to_string(exponent);
    }
    SCOPED_TRACE(text);
    std::string dotted = text;
    std::replace(dotted.begin(), dotted.end(), ',', '.');
    const long double expected = std::strtold(dotted.c_str(), nullptr);
    const std::optional<long double> parsed = ParseFloat(text, ',');
    ASSERT_TRUE(parsed.has_value());
    ASSERT_EQ(std::memcmp(&*parsed, &expected, 10), 0) << *parsed << " vs " << expected;
  }
}

// The quick reading takes plain decimals only, and gives what a full reading of a double gives.
TEST(PlainDecimalTest, ReadsPlainDecimalsAsAFullReadingDoes) {
  struct Case {
    const char* text;
    bool plain;
  };
  for (const Case& c :
       {Case{"-123.45", true}, Case{"0.1", true}, Case{"999999999999.999", true}, Case{"-0", true},
        Case{"12.", false}, Case{".5", false}, Case{"1234567890123456", false}, Case{"+1", false},
        Case{" 1", false}, Case{"1E5", false}, Case{"1,5", false}, Case{"", false}}) {
    SCOPED_TRACE(c.text);
    double number = 0;
    ASSERT_EQ(ReadPlainDecimal(c.text, number), c.plain);
    if (c.plain) {
      const double expected = std::strtod(c.text, nullptr);
      EXPECT_EQ(std::memcmp(&number, &expected, sizeof number), 0);
    }
  }
}

TEST(HostNumberTextTest, FollowsTheHostSeparator) {
  const char saved = HostFormats::DecimalSeparator();
  HostFormats::SetDecimalSeparator(',');
  EXPECT_EQ(FloatToText(2.5L), "2,5");
  EXPECT_EQ(TextToFloat("2,5"), 2.5L);
  EXPECT_EQ(TextToFloat("2.5"), std::nullopt);
  HostFormats::SetDecimalSeparator(saved);
}

}  // namespace
}  // namespace nox::host

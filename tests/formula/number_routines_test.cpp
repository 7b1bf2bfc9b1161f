#include "formula/number_routines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <random>
#include <string>

namespace nox::formula {
namespace {

struct RoundCase {
  int n;
  long double x;
  const char* rounded;  // RoundedText
  const char* fixed;    // FixedDecimalsText
};

TEST(NumberRoutinesTest, RoundsHalfAwayFromZeroAndWritesBothForms) {
  const RoundCase cases[] = {
      {2, 2.675, "2.68", "2.68"},
      {0, 2.5, "3", "3"},
      {2, -2.675, "-2.68", "-2.68"},
      {2, -0.125, "-0.13", "-0.13"},
      {3, 7, "7", "7.000"},
      {0, 7.6, "8", "8"},
      {2, 12.5, "12.5", "12.50"},
      {2, 3, "3", "3.00"},
      {0, -2.5, "-3", "-3"},
      {0, 0.4999, "0", "0"},
      {2, 0, "0", "0.00"},
      {2, -0.001, "0", "0.00"},
      {2, 0.005, "0.01", "0.01"},
      {2, 0.0049, "0", "0.00"},
      {1, 0.05, "0.1", "0.1"},
      {1, 1.45, "1.5", "1.5"},
      {2, 1.005, "1.01", "1.01"},
      {4, 1.00005, "1.0001", "1.0001"},
      {2, 999.995, "1000", "1000.00"},
      {2, -999.995, "-1000", "-1000.00"},
      {0, 123456789.5, "123456790", "123456790"},
      // Below zero decimals counts as zero; above 18 as 18.
      {-3, 2.5, "3", "3"},
      {25, 0.1, "0.1000000001", "0.1000000001000000000000000"},
      // From ten decimals on the rounding's 1E-10 shows, as the division rule's results do.
      {11, 1.0L / 3, "0.33333333343", "0.33333333343"},
      {12, 0.1, "0.1000000001", "0.100000000100"},
      {9, 0.1, "0.1", "0.100000000"},
      // Tiny values vanish at few decimals; large ones stay whole.
      {2, 1e-12L, "0", "0.00"},
      {6, 0.00001, "1E-5", "0.000010"},
      {2, 1.5e20L, "1.5E20", "150000000000000000000.00"},
      {0, 1e20L, "1E20", "1E20"},
      {2, -1.5e20L, "-1.5E20", "-150000000000000000000.00"},
      // 18 significant digits in all: the whole part takes its share of them.
      {10, 123456789012.123456789L, "123456789012.123", "123456789012.1230000000"},
  };
  for (const RoundCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "n=" << c.n << " x=" << static_cast<double>(c.x));
    EXPECT_EQ(RoundedText(c.n, c.x), c.rounded);
    EXPECT_EQ(FixedDecimalsText(c.n, c.x), c.fixed);
  }
}

TEST(NumberRoutinesTest, RoundValueKeepsEighteenDigitsAndSparesHugeValues) {
  EXPECT_EQ(RoundValue(2, 2.675), 2.68L);
  EXPECT_EQ(RoundValue(18, 0.123456789012345678L), 0.123456789112345678L);
  EXPECT_EQ(RoundValue(2, 123456789012345678.0L), 123456789012345678.0L);
  EXPECT_EQ(RoundValue(0, 1e300L), 1e300L);
  EXPECT_EQ(RoundValue(2, -1e300L), -1e300L);
  const long double inf = std::numeric_limits<long double>::infinity();
  EXPECT_EQ(RoundValue(2, inf), inf);
  EXPECT_EQ(RoundValue(2, -inf), -inf);
  EXPECT_TRUE(std::isnan(RoundValue(2, std::numeric_limits<long double>::quiet_NaN())));
  EXPECT_EQ(RoundedText(2, inf), "INF");
  EXPECT_EQ(RoundValue(2, std::numeric_limits<long double>::denorm_min()), 0.0L);
  EXPECT_FALSE(std::signbit(RoundValue(2, -0.001L)));
}

TEST(NumberRoutinesTest, RoundValueAgreesWithCorrectlyRoundedPrintf) {
  // Below 18 significant digits RoundValue is x + 1E-10 (x - 1E-10 below zero) rounded to n
  // decimals; printf rounds the exact binary value, so it is an independent oracle wherever the
  // nudged value is no exact half, which a random value never is.
  std::mt19937_64 random(20261209);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::uniform_int_distribution<int> exponent(-6, 12);
  std::uniform_int_distribution<int> decimals(0, 5);
  for (int i = 0; i < 200000; ++i) {
    const int n = decimals(random);
    long double x = mantissa(random) * std::pow(10.0L, exponent(random));
    // Every other value lies on a decimal half, as prices times rates often do.
    if (i % 2 == 0) x = (std::floor(x * std::pow(10.0L, n)) + 0.5L) / std::pow(10.0L, n);
    if (i % 3 == 0) x = -x;
    const long double nudged = x >= 0 ? x + 1e-10L : x - 1e-10L;
    // Where the nudge is lost in the last place, printf breaks an exact half to even.
    if (nudged == x) continue;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*Lf", n, nudged);
    const long double expected = std::strtold(buffer, nullptr);
    ASSERT_EQ(RoundValue(n, x), expected == 0 ? 0.0L : expected)
        << "n=" << n << " x=" << static_cast<double>(x) << " printf " << buffer;
  }
}

TEST(NumberRoutinesTest, RoundedDigitsAreWhatRoundedTextWrites) {
  // Prices times a rate, sums and quotients of them, halves, and values of every size, to every
  // count of decimals: where RoundedDigits answers, its digits write RoundedText's text, and
  // their value is the double that text reads as. It answers for most of them.
  std::mt19937_64 random(20261210);
  std::uniform_int_distribution<int> cents(-10000000, 10000000);
  std::uniform_real_distribution<double> mantissa(1.0, 10.0);
  std::uniform_int_distribution<int> exponent(-8, 19);
  std::uniform_int_distribution<int> decimals(-1, 20);
  int answered = 0;
  constexpr int kValues = 300000;
  for (int i = 0; i < kValues; ++i) {
    const double price = cents(random) / 100.0;
    long double x = 0;
    int n = decimals(random);
    switch (i % 4) {
      case 0:  // PRICE*1.21, then rounded to cents
        x = static_cast<long double>(price) * 1.21;
        n = i % 8 == 0 ? 4 : 2;
        break;
      case 1:  // a quotient, to the decimals the division rule finds
        x = static_cast<long double>(price) / (i % 7 + 1);
        break;
      case 2:  // a decimal half
        x = (std::floor(price * 1000) + 0.5L) / 10000;
        n = 4;
        break;
      default:
        x = mantissa(random) * std::pow(10.0L, exponent(random));
        if (i % 3 == 0) x = -x;
    }
    const std::optional<host::GeneralDigits> digits = RoundedDigits(n, x);
    if (!digits) continue;
    ++answered;
    char written[host::kGeneralTextLimit];
    const std::string text(written, host::WriteGeneral(*digits, '.', written));
    ASSERT_EQ(text, RoundedText(n, x)) << "n=" << n << " x=" << static_cast<double>(x);
    ASSERT_EQ(digits->Value(), std::strtod(text.c_str(), nullptr)) << text;
  }
  EXPECT_GT(answered, kValues * 7 / 10);
}

TEST(NumberRoutinesTest, ListItemSplitsAtSemicolons) {
  struct Case {
    const char* text;
    int n;
    const char* expected;
  };
  const Case cases[] = {
      {"A;B;C", 0, "A"}, {"A;B;C", 1, "B"},       {"A;B;C", 2, "C"},
      {"A;B;C", 3, ""},  {"A", 0, "A"},           {"A", 1, ""},
      {"", 0, ""},       {";B", 0, ""},           {";B", 1, "B"},
      {"A;;C", 1, ""},   {"A;;C", 2, "C"},        {"A;B;", 2, ""},
      {"A;B", -1, ""},   {"A;B", 2147483647, ""}, {"one two;x", 0, "one two"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.text << " #" << c.n);
    EXPECT_EQ(ListItem(c.text, c.n), c.expected);
  }
}

}  // namespace
}  // namespace nox::formula

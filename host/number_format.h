#pragma once
// The general number format every part of the system writes floating-point numbers with: at most
// 15 significant digits, no trailing zeros after the point, no point for a whole number, and the
// exponent form (1E-5, 1.5E20, 1E15) when the magnitude is below 0.0001 or at least 1E15.
// Zero (also negative zero) is "0"; a value that is no number is "NAN", infinities "INF" and
// "-INF".

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nox::host {

std::string FormatGeneral(long double value, char decimalSeparator);

// A number of at most 15 significant digits as the general format writes it: its digits without
// trailing zeros (none for zero) and the power of ten of the first one (d.ddd * 10^exponent).
struct GeneralDigits {
  bool negative = false;
  std::uint64_t digits = 0;
  int count = 1;  // how many digits
  int exponent = 0;

  // digits * 10^lastExponent, its trailing zeros dropped.
  static GeneralDigits Of(bool negative, std::uint64_t digits, int lastExponent);
  // The double nearest to the number, which is what the formula language reads from its text;
  // for a number written without exponent (from 0.0001 to below 1E15).
  double Value() const;
  // The double TextToFloat (and ParseFloat, narrowed) reads from its text, as fields do: read in
  // extended precision first, it is one unit in the last place from Value() now and then.
  double ReadValue() const;
};
// The most characters WriteGeneral writes.
inline constexpr std::size_t kGeneralTextLimit = 48;
// Writes the number as FormatGeneral writes its value; gives the end of the text.
char* WriteGeneral(const GeneralDigits& number, char decimalSeparator, char* out);

// The whole part of a value from 0 to below 2^63, as std::floor gives it, and the fraction left.
// std::floor and the conversion of a long double to an integer switch the x87 rounding mode,
// which stalls the floating-point unit longer than the rest of a rounding takes; rounding to the
// nearest whole number in the mode in force and stepping back when that went up does not.
struct WholeAndFraction {
  std::uint64_t whole = 0;
  long double fraction = 0;  // exact: the whole part lies within 1 of the value
};
inline WholeAndFraction SplitWhole(long double value) {
  long double whole = std::rint(value);
  if (whole > value) whole -= 1;
  // Below 2^53 the whole number is a double, which converts to an integer without the mode.
  const std::uint64_t bits = whole < 0x1p53L
                                 ? static_cast<std::uint64_t>(static_cast<double>(whole))
                                 : static_cast<std::uint64_t>(std::llrint(whole));
  return {bits, value - whole};
}
// FormatGeneral with the host's current decimal separator.
std::string FloatToText(long double value);

// Reads a whole text as a floating-point number with the given decimal separator (surrounding
// blanks allowed, an optional sign, digits, separator, exponent). Nothing when it is no number.
std::optional<long double> ParseFloat(std::string_view text, char decimalSeparator);
std::optional<long double> TextToFloat(std::string_view text);  // with the host's separator

// A plain decimal of up to 15 digits written with "." ("-123.45", no blanks, no exponent), read
// at once: the digits and the power of ten are exact doubles, so one division rounds exactly as
// a full reading would. False for any other form. Inline: record reading runs it for every number.
inline bool ReadPlainDecimal(std::string_view text, double& number) {
  static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  std::size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) ++i;
  std::uint64_t digits = 0;
  int count = 0;
  int fraction = -1;  // digits after the point; -1 without a point
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      if (++count > 15) return false;
      digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
      if (fraction >= 0) ++fraction;
    } else if (c == '.' && fraction < 0 && count > 0) {
      fraction = 0;
    } else {
      return false;
    }
  }
  if (count == 0 || fraction == 0) return false;
  double value = static_cast<double>(digits);
  if (fraction > 0) value /= kPowers[fraction];
  number = negative ? -value : value;
  return true;
}

}  // namespace nox::host

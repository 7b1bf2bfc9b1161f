#include "host/number_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "host/host_formats.h"

namespace nox::host {
namespace {

constexpr int kSignificantDigits = 15;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A finite, non-zero value rounded to 15 significant digits: digits without trailing zeros and
// the decimal exponent of the first one (value = d.ddd * 10^exponent).
struct Decimal {
  bool negative = false;
  std::string digits;
  int exponent = 0;
};

// Exact powers of ten: every one up to 1E27 fits the 64-bit mantissa.
constexpr long double kPowersOfTen[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,
                                        1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L,
                                        1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L, 1e20L};

void DropTrailingZeros(std::string& digits) {
  while (digits.size() > 1 && digits.back() == '0')
    digits.pop_back();
}

// The common magnitudes (1E-5 up to 1E15) scaled to a 15-digit whole number in binary; the
// scaled value carries at most half a unit in its last place of error, so the rounding is exact
// unless the fraction lies within that error of one half. Nothing in that case.
bool ToDecimalFast(long double magnitude, Decimal& decimal) {
  if (magnitude < 1e-5L || magnitude >= 1e15L) return false;
  int exponent = -1;
  while (exponent < kSignificantDigits - 1 && magnitude >= kPowersOfTen[exponent + 1])
    ++exponent;
  if (exponent == -1) {
    while (exponent > -6 && magnitude * kPowersOfTen[-exponent] < 1)
      --exponent;
  }
  const long double scaled = magnitude * kPowersOfTen[kSignificantDigits - 1 - exponent];
  if (scaled < 1e14L || scaled >= 1e15L) return false;
  const long double whole = std::floor(scaled);
  const long double fraction = scaled - whole;
  if (std::fabs(fraction - 0.5L) <= scaled * 0x1p-62L) return false;
  auto kept = static_cast<unsigned long long>(whole);
  if (fraction > 0.5L) ++kept;
  if (kept == 1000000000000000ULL) {
    kept /= 10;
    ++exponent;
  }
  decimal.digits = std::to_string(kept);
  decimal.exponent = exponent;
  DropTrailingZeros(decimal.digits);
  return true;
}

Decimal ToDecimal(long double value) {
  Decimal decimal;
  decimal.negative = value < 0;
  if (ToDecimalFast(std::fabs(value), decimal)) return decimal;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*Le", kSignificantDigits - 1, std::fabs(value));
  // buffer: d.dddddddddddddde[+-]x; the point printf writes follows the C locale, which the
  // window system may have set, so only the digits are taken.
  const char* p = buffer;
  for (; *p != 'e'; ++p) {
    if (IsDigit(*p)) decimal.digits += *p;
  }
  decimal.exponent = std::atoi(p + 1);
  DropTrailingZeros(decimal.digits);
  return decimal;
}

}  // namespace

std::string FormatGeneral(long double value, char decimalSeparator) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  const Decimal decimal = ToDecimal(value);
  const std::string& digits = decimal.digits;
  const int exponent = decimal.exponent;
  std::string text = decimal.negative ? "-" : "";
  if (exponent < -4 || exponent >= kSignificantDigits) {
    text += digits[0];
    if (digits.size() > 1) {
      text += decimalSeparator;
      text.append(digits, 1);
    }
    text += 'E';
    text += std::to_string(exponent);
  } else if (exponent < 0) {
    text += '0';
    text += decimalSeparator;
    text.append(static_cast<std::size_t>(-exponent - 1), '0');
    text += digits;
  } else {
    const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= integerDigits) {
      text += digits;
      text.append(integerDigits - digits.size(), '0');
    } else {
      text.append(digits, 0, integerDigits);
      text += decimalSeparator;
      text.append(digits, integerDigits);
    }
  }
  return text;
}

std::string FloatToText(long double value) {
  return FormatGeneral(value, HostFormats::DecimalSeparator());
}

std::optional<long double> ParseFloat(std::string_view text, char decimalSeparator) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  // Checked here and rewritten with "." for from_chars, which ignores the C locale's separator.
  std::string normalized;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    if (text[i] == '-') normalized += '-';
    ++i;
  }
  std::size_t mantissaDigits = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i, ++mantissaDigits)
    normalized += text[i];
  if (i < text.size() && text[i] == decimalSeparator) {
    normalized += '.';
    for (++i; i < text.size() && IsDigit(text[i]); ++i, ++mantissaDigits)
      normalized += text[i];
  }
  if (mantissaDigits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    normalized += 'e';
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) normalized += text[i++];
    std::size_t exponentDigits = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i, ++exponentDigits)
      normalized += text[i];
    if (exponentDigits == 0) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  long double value = 0;
  const char* end = normalized.data() + normalized.size();
  const auto [ptr, error] = std::from_chars(normalized.data(), end, value);
  if (error != std::errc() || ptr != end) return std::nullopt;
  return value;
}

std::optional<long double> TextToFloat(std::string_view text) {
  return ParseFloat(text, HostFormats::DecimalSeparator());
}

}  // namespace nox::host

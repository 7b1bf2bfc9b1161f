#include "host/number_format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
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
  std::array<char, 24> buffer{};
  std::size_t count = 0;
  int exponent = 0;

  std::string_view Digits() const { return {buffer.data(), count}; }
  void Add(char digit) { buffer[count++] = digit; }
  void DropTrailingZeros() {
    while (count > 1 && buffer[count - 1] == '0')
      --count;
  }
};

// Exact powers of ten: every one up to 1E27 fits the 64-bit mantissa.
constexpr long double kPowersOfTen[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,
                                        1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L,
                                        1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L, 1e20L,
                                        1e21L, 1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L};

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
  const auto [whole, fraction] = SplitWhole(scaled);
  if (std::fabs(fraction - 0.5L) <= scaled * 0x1p-62L) return false;
  std::uint64_t kept = whole;
  if (fraction > 0.5L) ++kept;
  if (kept == 1000000000000000ULL) {
    kept /= 10;
    ++exponent;
  }
  // Trailing zeros go before the digits are written; kept is at least 1E14, so one digit stays.
  while (kept % 10 == 0)
    kept /= 10;
  decimal.count = static_cast<std::size_t>(
      std::to_chars(decimal.buffer.data(), decimal.buffer.data() + decimal.buffer.size(), kept)
          .ptr -
      decimal.buffer.data());
  decimal.exponent = exponent;
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
    if (IsDigit(*p) && decimal.count < decimal.buffer.size()) decimal.Add(*p);
  }
  decimal.exponent = std::atoi(p + 1);
  decimal.DropTrailingZeros();
  return decimal;
}

}  // namespace

std::string FormatGeneral(long double value, char decimalSeparator) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  const Decimal decimal = ToDecimal(value);
  const std::string_view digits = decimal.Digits();
  const int exponent = decimal.exponent;
  // Sign, 15 digits, up to 4 leading zeros, the separator and an exponent of up to 5 digits.
  std::array<char, 48> buffer{};
  char* out = buffer.data();
  const auto put = [&out](std::string_view part) {
    std::copy(part.begin(), part.end(), out);
    out += part.size();
  };
  const auto zeros = [&out](std::size_t count) {
    std::fill_n(out, count, '0');
    out += count;
  };
  if (decimal.negative) *out++ = '-';
  if (exponent < -4 || exponent >= kSignificantDigits) {
    *out++ = digits[0];
    if (digits.size() > 1) {
      *out++ = decimalSeparator;
      put(digits.substr(1));
    }
    *out++ = 'E';
    out = std::to_chars(out, buffer.data() + buffer.size(), exponent).ptr;
  } else if (exponent < 0) {
    *out++ = '0';
    *out++ = decimalSeparator;
    zeros(static_cast<std::size_t>(-exponent - 1));
    put(digits);
  } else {
    const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= integerDigits) {
      put(digits);
      zeros(integerDigits - digits.size());
    } else {
      put(digits.substr(0, integerDigits));
      *out++ = decimalSeparator;
      put(digits.substr(integerDigits));
    }
  }
  return std::string(buffer.data(), out);
}

std::string FloatToText(long double value) {
  return FormatGeneral(value, HostFormats::DecimalSeparator());
}

namespace {

// Up to 19 significant digits and a power of ten up to 1E27 are both exact in extended
// precision, so one multiplication or division rounds the value correctly. Nothing when the text
// needs more (the caller then reads it in full); text is trimmed and its syntax already checked.
std::optional<long double> ParseFloatFast(std::string_view text, char decimalSeparator) {
  constexpr int kMaxDigits = 19;
  constexpr int kMaxExponent = 27;
  std::size_t i = 0;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  std::uint64_t mantissa = 0;
  int digits = 0;
  int exponent = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i) {
    if (mantissa == 0 && text[i] == '0') continue;
    if (++digits > kMaxDigits) return std::nullopt;
    mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[i] - '0');
  }
  if (i < text.size() && text[i] == decimalSeparator) {
    for (++i; i < text.size() && IsDigit(text[i]); ++i) {
      --exponent;
      if (mantissa == 0 && text[i] == '0') continue;
      if (++digits > kMaxDigits) return std::nullopt;
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
  }
  if (i < text.size()) {  // the exponent
    ++i;
    bool negativeExponent = false;
    if (text[i] == '+' || text[i] == '-') negativeExponent = text[i++] == '-';
    int written = 0;
    for (; i < text.size(); ++i) {
      written = written * 10 + (text[i] - '0');
      if (written > 100000) return std::nullopt;
    }
    exponent += negativeExponent ? -written : written;
  }
  long double value = static_cast<long double>(mantissa);
  if (mantissa != 0) {
    if (exponent > kMaxExponent || exponent < -kMaxExponent) return std::nullopt;
    const long double scale = kPowersOfTen[exponent < 0 ? -exponent : exponent];
    value = exponent < 0 ? value / scale : value * scale;
  }
  return negative ? -value : value;
}

}  // namespace

std::optional<long double> ParseFloat(std::string_view text, char decimalSeparator) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  const std::size_t mantissaStart = i;
  std::size_t mantissaDigits = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i, ++mantissaDigits) {
  }
  std::size_t separatorAt = std::string_view::npos;
  if (i < text.size() && text[i] == decimalSeparator) {
    separatorAt = i;
    for (++i; i < text.size() && IsDigit(text[i]); ++i, ++mantissaDigits) {
    }
  }
  if (mantissaDigits == 0) return std::nullopt;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t exponentDigits = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i, ++exponentDigits) {
    }
    if (exponentDigits == 0) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  if (auto fast = ParseFloatFast(text, decimalSeparator)) return fast;
  // Rewritten with "." for from_chars, which ignores the C locale's separator, and without a "+"
  // sign, which it does not take.
  std::string normalized;
  if (text.front() == '-') normalized += '-';
  normalized.append(text.substr(mantissaStart));
  if (separatorAt != std::string_view::npos) {
    normalized[separatorAt - mantissaStart + (text.front() == '-' ? 1 : 0)] = '.';
  }
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

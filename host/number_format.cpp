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

// Exact powers of ten: every one up to 1E27 fits the 64-bit mantissa.
constexpr long double kPowersOfTen[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,
                                        1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L,
                                        1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L, 1e20L,
                                        1e21L, 1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L};

// The common magnitudes (1E-5 up to 1E15) scaled to a 15-digit whole number in binary; the
// scaled value carries at most half a unit in its last place of error, so the rounding is exact
// unless the fraction lies within that error of one half. Nothing in that case.
std::optional<GeneralDigits> ToDecimalFast(bool negative, long double magnitude) {
  if (magnitude < 1e-5L || magnitude >= 1e15L) return std::nullopt;
  int exponent = -1;
  while (exponent < kSignificantDigits - 1 && magnitude >= kPowersOfTen[exponent + 1])
    ++exponent;
  if (exponent == -1) {
    while (exponent > -6 && magnitude * kPowersOfTen[-exponent] < 1)
      --exponent;
  }
  const long double scaled = magnitude * kPowersOfTen[kSignificantDigits - 1 - exponent];
  if (scaled < 1e14L || scaled >= 1e15L) return std::nullopt;
  const auto [whole, fraction] = SplitWhole(scaled);
  if (std::fabs(fraction - 0.5L) <= scaled * 0x1p-62L) return std::nullopt;
  std::uint64_t kept = whole;
  if (fraction > 0.5L) ++kept;
  return GeneralDigits::Of(negative, kept, exponent - (kSignificantDigits - 1));
}

// A finite, non-zero value rounded to 15 significant digits.
GeneralDigits ToDecimal(long double value) {
  const bool negative = value < 0;
  if (auto fast = ToDecimalFast(negative, std::fabs(value))) return *fast;
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*Le", kSignificantDigits - 1, std::fabs(value));
  // buffer: d.dddddddddddddde[+-]x; the point printf writes follows the C locale, which the
  // window system may have set, so only the digits are taken.
  const char* p = buffer;
  std::uint64_t digits = 0;
  for (; *p != 'e'; ++p) {
    if (IsDigit(*p)) digits = digits * 10 + static_cast<std::uint64_t>(*p - '0');
  }
  return GeneralDigits::Of(negative, digits, std::atoi(p + 1) - (kSignificantDigits - 1));
}

}  // namespace

GeneralDigits GeneralDigits::Of(bool negative, std::uint64_t digits, int lastExponent) {
  GeneralDigits number;
  number.negative = negative;
  if (digits == 0) return number;
  // Whole groups of zeros first: a product's digits often end in ten of them.
  while (digits % 100000000 == 0) {
    digits /= 100000000;
    lastExponent += 8;
  }
  while (digits % 10 == 0) {
    digits /= 10;
    ++lastExponent;
  }
  static constexpr std::uint64_t kTens[] = {10ULL,
                                            100ULL,
                                            1000ULL,
                                            10000ULL,
                                            100000ULL,
                                            1000000ULL,
                                            10000000ULL,
                                            100000000ULL,
                                            1000000000ULL,
                                            10000000000ULL,
                                            100000000000ULL,
                                            1000000000000ULL,
                                            10000000000000ULL,
                                            100000000000000ULL,
                                            1000000000000000ULL,
                                            10000000000000000ULL,
                                            100000000000000000ULL,
                                            1000000000000000000ULL,
                                            10000000000000000000ULL};
  number.digits = digits;
  number.count = 1;
  while (static_cast<std::size_t>(number.count) <= std::size(kTens) &&
         digits >= kTens[number.count - 1])
    ++number.count;
  number.exponent = lastExponent + number.count - 1;
  return number;
}

double GeneralDigits::Value() const {
  // Digits and power of ten are exact doubles (at most 15 digits, at most 18 decimals), so one
  // multiplication or division rounds as reading the text does.
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8, 1e9,
                                       1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};
  const int last = exponent - count + 1;
  const auto whole = static_cast<double>(digits);
  const double magnitude = last >= 0 ? whole * kPowers[last] : whole / kPowers[-last];
  return negative ? -magnitude : magnitude;
}

char* WriteGeneral(const GeneralDigits& number, char decimalSeparator, char* out) {
  if (number.digits == 0) {
    *out = '0';
    return out + 1;
  }
  std::array<char, 20> written{};
  const std::string_view digits(
      written.data(),
      static_cast<std::size_t>(
          std::to_chars(written.data(), written.data() + written.size(), number.digits).ptr -
          written.data()));
  const int exponent = number.exponent;
  const auto put = [&out](std::string_view part) {
    std::copy(part.begin(), part.end(), out);
    out += part.size();
  };
  const auto zeros = [&out](std::size_t count) {
    std::fill_n(out, count, '0');
    out += count;
  };
  if (number.negative) *out++ = '-';
  if (exponent < -4 || exponent >= kSignificantDigits) {
    *out++ = digits[0];
    if (digits.size() > 1) {
      *out++ = decimalSeparator;
      put(digits.substr(1));
    }
    *out++ = 'E';
    out = std::to_chars(out, out + 8, exponent).ptr;
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
  return out;
}

std::string FormatGeneral(long double value, char decimalSeparator) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (value == 0) return "0";
  std::array<char, kGeneralTextLimit> buffer{};
  return std::string(buffer.data(),
                     WriteGeneral(ToDecimal(value), decimalSeparator, buffer.data()));
}

std::string FloatToText(long double value) {
  return FormatGeneral(value, HostFormats::DecimalSeparator());
}

namespace {

// mantissa * 10^exponent (|exponent| at most 27) with one rounding, in extended precision.
long double ScaledMantissa(std::uint64_t mantissa, int exponent) {
  const auto value = static_cast<long double>(mantissa);
  const long double scale = kPowersOfTen[exponent < 0 ? -exponent : exponent];
  return exponent < 0 ? value / scale : value * scale;
}

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
    value = ScaledMantissa(mantissa, exponent);
  }
  return negative ? -value : value;
}

}  // namespace

double GeneralDigits::ReadValue() const {
  const long double magnitude = ScaledMantissa(digits, exponent - count + 1);
  return static_cast<double>(negative ? -magnitude : magnitude);
}

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

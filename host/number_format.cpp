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

Decimal ToDecimal(long double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.*Le", kSignificantDigits - 1, value);
  // buffer: [-]d.dddddddddddddde[+-]x
  Decimal decimal;
  const char* p = buffer;
  if (*p == '-') {
    decimal.negative = true;
    ++p;
  }
  // The point printf writes follows the C locale, which the window system may have set.
  for (; *p != 'e'; ++p) {
    if (IsDigit(*p)) decimal.digits += *p;
  }
  decimal.exponent = std::atoi(p + 1);
  while (decimal.digits.size() > 1 && decimal.digits.back() == '0')
    decimal.digits.pop_back();
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

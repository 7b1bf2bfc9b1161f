#include "formula/number_routines.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "formula/formula.h"
#include "formula/text_library.h"
#include "host/messages.h"
#include "host/number_format.h"

namespace nox::formula {
namespace {

constexpr int kMaxDecimals = 18;
constexpr int kSignificantDigits = 18;
// The general format's digits, and the lowest power of ten it writes without an exponent.
constexpr int kWrittenDigits = 15;
constexpr int kLowestPlainExponent = -4;
// Added before rounding so that values just below a half, as binary fractions such as 2.675 are,
// round up as the decimal text suggests. It is the same for every count of decimals, so from ten
// decimals on it shows in the result (1/3 to eleven decimals is 0.33333333343): formulas written
// for this system rely on exactly these digits.
constexpr long double kNudge = 1e-10L;
// Enough digits to write the values the rounding meets (below 1E18) exactly, as far as the digit
// after the cut: that digit must be the true one, not a rounded one.
constexpr int kExactDigits = 120;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// A text in general format written without exponent ("1.5E20" -> "150000000000000000000").
std::string PlainNotation(const std::string& general) {
  const std::size_t e = general.find('E');
  if (e == std::string::npos) return general;
  std::string text = general.substr(0, e);
  const int exponent = std::atoi(general.c_str() + e + 1);
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) text.erase(0, 1);
  const std::size_t point = text.find('.');
  std::string digits = text;
  if (point != std::string::npos) digits.erase(point, 1);
  // The mantissa has one digit before its point, so the point moves to 1 + exponent.
  const int pointPosition = 1 + exponent;
  std::string plain;
  if (pointPosition <= 0) {
    plain = "0." + std::string(static_cast<std::size_t>(-pointPosition), '0') + digits;
  } else if (static_cast<std::size_t>(pointPosition) >= digits.size()) {
    plain = digits + std::string(static_cast<std::size_t>(pointPosition) - digits.size(), '0');
  } else {
    plain = digits.substr(0, static_cast<std::size_t>(pointPosition)) + "." +
            digits.substr(static_cast<std::size_t>(pointPosition));
  }
  return negative ? "-" + plain : plain;
}

// Exact powers of ten: every one up to 1E27 fits the 64-bit mantissa.
constexpr long double kPowersOfTen[] = {1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,
                                        1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L,
                                        1e14L, 1e15L, 1e16L, 1e17L, 1e18L};

// A magnitude rounded to its kept digits: kept / 10^scale.
struct KeptDigits {
  std::uint64_t kept = 0;
  int scale = 0;
};

// The rounding of a magnitude below 1E18 to its kept digits, done in binary: the scaled value
// carries at most half a unit in its last place of error, so the rounding is decided exactly
// unless the fraction lies within that error of one half. Nothing in that case.
std::optional<KeptDigits> RoundMagnitudeFast(int n, long double magnitude) {
  int integerDigits = 0;  // below 1 only the decimals count, whatever the leading zeros
  while (integerDigits < kSignificantDigits && magnitude >= kPowersOfTen[integerDigits])
    ++integerDigits;
  const int scale =
      integerDigits + n <= kSignificantDigits ? n : kSignificantDigits - integerDigits;
  const long double scaled = magnitude * kPowersOfTen[scale];
  const auto [whole, fraction] = host::SplitWhole(scaled);
  if (std::fabs(fraction - 0.5L) <= scaled * 0x1p-62L) return std::nullopt;
  return KeptDigits{whole + (fraction > 0.5L ? 1u : 0u), scale};
}

// The same from the exact decimal expansion: slow, for the values the fast way cannot decide.
long double RoundMagnitudeExact(int n, long double magnitude) {
  char buffer[kExactDigits + 16];
  std::snprintf(buffer, sizeof buffer, "%.*Le", kExactDigits, magnitude);
  std::string digits;
  const char* p = buffer;
  for (; *p != 'e'; ++p) {
    if (IsDigit(*p)) digits += *p;
  }
  const int exponent = std::atoi(p + 1);  // magnitude = d.ddd * 10^exponent
  const int integerDigits = exponent + 1;
  // Digits kept: those down to the n-th decimal, at most 18 in all.
  const int keep = std::min(kSignificantDigits, integerDigits + n);
  if (keep < 0) return 0;
  unsigned long long kept = 0;
  for (int i = 0; i < keep; ++i)
    kept = kept * 10 + static_cast<unsigned>(digits[static_cast<std::size_t>(i)] - '0');
  if (digits[static_cast<std::size_t>(keep)] >= '5') ++kept;  // half away from zero
  if (kept == 0) return 0;

  const std::string text = std::to_string(kept) + "e" + std::to_string(integerDigits - keep);
  long double result = 0;
  std::from_chars(text.data(), text.data() + text.size(), result);
  return result;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

std::int32_t ReadWholeNumber(std::string_view text) {
  std::string_view digits = text;
  while (!digits.empty() && IsBlank(digits.front()))
    digits.remove_prefix(1);
  bool negative = false;
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  std::int64_t magnitude = -1;
  if (!digits.empty() && IsDigit(digits.front())) {
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    if (error != std::errc() || end != digits.data() + digits.size()) magnitude = -1;
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (magnitude < 0 || value < INT32_MIN || value > INT32_MAX) {
    throw FormulaError(host::QuotedInput(text) + " is not a valid integer value");
  }
  return static_cast<std::int32_t>(value);
}

std::optional<long double> ReadDecimalNumber(std::string_view text) {
  double plain = 0;
  if (host::ReadPlainDecimal(text, plain)) return plain;
  // The syntax and the values beyond a double come from the host's reader; a double is then read
  // from the same digits directly, never through the extended value (which would round twice).
  const std::optional<long double> extended = host::ParseFloat(text, '.');
  if (!extended) return std::nullopt;
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  const bool negative = text.front() == '-';
  if (text.front() == '+' || text.front() == '-') text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return extended;
  return negative ? -value : value;
}

long double RoundValue(int n, long double x) {
  n = std::clamp(n, 0, kMaxDecimals);
  if (!std::isfinite(x)) return x;
  const long double v = x >= 0 ? x + kNudge : x - kNudge;
  // From 1E18 on, 18 significant digits leave no decimals: the value is whole.
  if (std::fabs(v) >= 1e18L) return std::round(x);
  const long double magnitude = std::fabs(v);
  const std::optional<KeptDigits> fast = RoundMagnitudeFast(n, magnitude);
  const long double rounded = fast
                                  ? static_cast<long double>(fast->kept) / kPowersOfTen[fast->scale]
                                  : RoundMagnitudeExact(n, magnitude);
  if (rounded == 0) return 0;
  return v < 0 ? -rounded : rounded;
}

std::optional<host::GeneralDigits> RoundedDigits(int n, long double x) {
  n = std::clamp(n, 0, kMaxDecimals);
  if (!std::isfinite(x)) return std::nullopt;
  const long double v = x >= 0 ? x + kNudge : x - kNudge;
  if (std::fabs(v) >= 1e18L) return std::nullopt;
  const std::optional<KeptDigits> fast = RoundMagnitudeFast(n, std::fabs(v));
  if (!fast) return std::nullopt;
  // RoundValue's result is the kept digits within a unit of the 64-bit mantissa, far closer than
  // the half unit of a 15th digit: the general format writes those digits when there are at most
  // 15 of them.
  const host::GeneralDigits digits = host::GeneralDigits::Of(v < 0, fast->kept, -fast->scale);
  if (digits.digits == 0) return host::GeneralDigits{};
  if (digits.count > kWrittenDigits || digits.exponent < kLowestPlainExponent ||
      digits.exponent >= kWrittenDigits) {
    return std::nullopt;
  }
  return digits;
}

std::string RoundedText(int n, long double x) {
  return host::FormatGeneral(RoundValue(n, x), '.');
}

std::string FixedDecimalsText(int n, long double x) {
  const std::string general = RoundedText(n, x);
  if (n <= 0) return general;
  RequireBuildable(n);
  // Exponent form leaves no place for the decimals ("1E20.00"), so the number is written in full.
  const std::string s = PlainNotation(general);
  const std::size_t point = s.find('.');
  const std::string intpart = s.substr(0, point);
  std::string frac = point == std::string::npos ? std::string() : s.substr(point + 1);
  frac.resize(static_cast<std::size_t>(n), '0');
  return intpart + "." + frac;
}

std::string ListItem(std::string_view text, int n) {
  if (n < 0) return {};
  std::string_view rest = text;
  for (int i = 0;; ++i) {
    const std::size_t semicolon = rest.find(';');
    if (semicolon == std::string_view::npos) return i == n ? std::string(rest) : std::string();
    if (i == n) return std::string(rest.substr(0, semicolon));
    rest.remove_prefix(semicolon + 1);
  }
}

}  // namespace nox::formula

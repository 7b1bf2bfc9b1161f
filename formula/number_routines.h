#pragma once
// Number and text routines the formula language shares with other parts of the system.
// Computed in extended precision (long double) so that results come out digit for digit.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/number_format.h"

namespace nox::formula {

// A whole number ("Par") as operators and functions alike read it: optional leading blanks, an
// optional sign and decimal digits that fit 32 bits. Raises FormulaError for anything else.
std::int32_t ReadWholeNumber(std::string_view text);
// A decimal number ("ParR") as the 64-bit floating-point number the language computes with; a
// value beyond its range keeps extended precision. Blanks around it are allowed; nothing when the
// text is no number.
std::optional<long double> ReadDecimalNumber(std::string_view text);

// x rounded to n decimals, half away from zero (n below 0 counts as 0, above 18 as 18).
long double RoundValue(int n, long double x);
// RoundValue(n, x) in the general number format, with "." as the decimal point.
std::string RoundedText(int n, long double x);
// The digits RoundedText(n, x) writes, found without writing them, for the common values: those
// written without an exponent, and not at a half that only the exact expansion decides. Nothing
// for the others.
std::optional<host::GeneralDigits> RoundedDigits(int n, long double x);
// RoundValue(n, x) with exactly n decimals ("." as the point); for n = 0 the same as RoundedText.
std::string FixedDecimalsText(int n, long double x);
// The n-th item (from 0) of a text split at ";"; empty past the last item or for n below 0.
std::string ListItem(std::string_view text, int n);

}  // namespace nox::formula

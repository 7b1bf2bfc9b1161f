#pragma once
// Number and text routines the formula language shares with other parts of the system.
// Computed in extended precision (long double) so that results come out digit for digit.

#include <string>
#include <string_view>

namespace nox::formula {

// x rounded to n decimals, half away from zero (n below 0 counts as 0, above 18 as 18).
long double RoundValue(int n, long double x);
// RoundValue(n, x) in the general number format, with "." as the decimal point.
std::string RoundedText(int n, long double x);
// RoundValue(n, x) with exactly n decimals ("." as the point); for n = 0 the same as RoundedText.
std::string FixedDecimalsText(int n, long double x);
// The n-th item (from 0) of a text split at ";"; empty past the last item or for n below 0.
std::string ListItem(std::string_view text, int n);

}  // namespace nox::formula

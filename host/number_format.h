#pragma once
// The general number format every part of the system writes floating-point numbers with: at most
// 15 significant digits, no trailing zeros after the point, no point for a whole number, and the
// exponent form (1E-5, 1.5E20, 1E15) when the magnitude is below 0.0001 or at least 1E15.
// Zero (also negative zero) is "0"; a value that is no number is "NAN", infinities "INF" and
// "-INF".

#include <optional>
#include <string>
#include <string_view>

namespace nox::host {

std::string FormatGeneral(long double value, char decimalSeparator);
// FormatGeneral with the host's current decimal separator.
std::string FloatToText(long double value);

// Reads a whole text as a floating-point number with the given decimal separator (surrounding
// blanks allowed, an optional sign, digits, separator, exponent). Nothing when it is no number.
std::optional<long double> ParseFloat(std::string_view text, char decimalSeparator);
std::optional<long double> TextToFloat(std::string_view text);  // with the host's separator

// A plain decimal of up to 15 digits written with "." ("-123.45", no blanks, no exponent), read
// at once: the digits and the power of ten are exact doubles, so one division rounds exactly as
// a full reading would. False for any other form.
bool ReadPlainDecimal(std::string_view text, double& number);

}  // namespace nox::host

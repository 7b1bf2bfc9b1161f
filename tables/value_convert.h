#pragma once
// Converting values to a field's type and back to the text the program reads.
//
// Each field type holds one kind of Value: Text for text, memo and binary fields, Integer for the
// integer kinds (16/32-bit, word, auto-increment), Float for float and BCD, Currency, Date for
// date, time and date-time, Boolean. Null is an empty field.

#include <string>
#include <string_view>

#include "tables/field_defs.h"
#include "tables/value.h"

namespace nox::tables {

// The value converted to the field's kind. Raises TableError with a message naming the bad text
// ("'abc' is not a valid integer value") or the field and its range. An empty text gives null; a
// text longer than a text field is cut to the field's size.
Value ConvertForField(const FieldDef& field, const Value& value);
// Whether the value is already of the field's kind as ConvertForField makes it (it would give the
// value back unchanged), so that a value converted once need not be converted again.
bool HoldsFieldValue(const FieldDef& field, const Value& value);

// The engine's words for a logical field's value as text.
inline constexpr std::string_view kTrueText = "True";
inline constexpr std::string_view kFalseText = "False";

// The text of a field value: integers as digits, floats in the general number format with the
// host's decimal separator, dates in the host's short date format (date-times with " hh:mm:ss"
// when they have a time), times as hh:mm:ss, booleans "True"/"False", null as empty text.
std::string FieldValueText(FieldType type, const Value& value);

// The engine date-time number of a field value; null gives 0. A text is read as a host date.
double FieldValueDateTime(const FieldDef& field, const Value& value);

// Single-byte letters compared without regard to case (ASCII and the Windows-1257 letters).
unsigned char FoldCase(unsigned char byte);
bool EqualNoCase(std::string_view left, std::string_view right);

// The text without leading and trailing spaces.
std::string_view TrimBlanks(std::string_view text);

}  // namespace nox::tables

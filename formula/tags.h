#pragma once
// The type tags of a translated formula. Internally a tag is a small number; its text (what the
// formula wizard shows) comes from TagText.

#include <cstdint>
#include <optional>
#include <string_view>

namespace nox::formula {

enum class Tag : std::uint8_t {
  Empty,   // ""     an empty token the translator leaves at the end
  Pole,    // "Pole" a name: a field, table.field or window.table.field
  Par,     // "Par"  a whole number
  ParR,    // "ParR" a number with a decimal point or an exponent
  Str,     // "Str"  a text
  ParStr,  // "ParStr" a text standing directly after ","
  Arr,     // "Arr"  the contents of a bracketed list
  Func,    // "Func" the name of a built-in function
  FuncX,   // "FuncX" never made by the translator; only named by the parenthesis rule
  Znak,    // "Znak" a comparison or logical operator
  LParen,  // "("
  RParen,  // ")"
  Plus,    // "+"
  Minus,   // "-"
  Star,    // "*"
  Slash,   // "/"
  Comma,   // ","
  Bool,    // "Bool" "T" or "F"
  Date,    // "Date" a date in the host's short date format
  Nil,     // "Nil"  a window.table.field reference to a window that is not open
};

std::string_view TagText(Tag tag);

// Whether a "Bool" value counts as true where a condition is tested: "T", or the table engine's
// word for true, which a logical field gives.
bool IsTrue(std::string_view text);
std::optional<Tag> TagFromText(std::string_view text);

}  // namespace nox::formula

#pragma once
// The formula language's entry points: translation into token and type lists, calculation of
// translated lists against a record, and the process-wide cache of translations.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "formula/tags.h"

namespace nox::tables {
class TTable;
}

namespace nox::formula {

class NamedWindow;

using TokenList = std::vector<std::string>;
using TypeList = std::vector<Tag>;
// The value a formula yields: always a text ("!!!ERROR!!!" when it cannot be reduced).
using FormulaValue = std::string;

inline constexpr std::string_view kFormulaError = "!!!ERROR!!!";

// An error that ends a calculation; its text reaches the caller.
class FormulaError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Empties both lists and fills them with the translation of the formula.
void TranslateFormula(std::string_view formula, TokenList& tokens, TypeList& types);

// Reduces translated lists to a value. Bare field names are read from the record source (may be
// null); table.field references from the window (may be null). The lists passed in are not
// changed; WorkTokens/WorkTypes hold the reduced lists afterwards. Errors that end a calculation
// (no 32-bit integer, division by zero, a missing table or field, a negative square root) are
// raised as FormulaError after the host's decimal separator has been restored.
FormulaValue CalculateFormula(const TokenList& tokens, const TypeList& types,
                              tables::TTable* recordSource, const NamedWindow* window);

// Translates through the process-wide cache (keyed by the upper-cased text), then calculates.
FormulaValue EvaluateFormula(std::string_view formula, tables::TTable* recordSource,
                             const NamedWindow* window);
// Translates without caching, then calculates.
FormulaValue EvaluateFormulaOnce(std::string_view formula, tables::TTable* recordSource,
                                 const NamedWindow* window);

// The working lists of the last calculation (process-wide).
TokenList& WorkTokens();
TypeList& WorkTypes();

}  // namespace nox::formula

// The formula language's entry points and its process-wide working lists.

#include "formula/formula.h"

#include <string>

#include "formula/formula_cache.h"

namespace nox::formula {

TokenList& WorkTokens() {
  static TokenList tokens;
  return tokens;
}

TypeList& WorkTypes() {
  static TypeList types;
  return types;
}

FormulaValue EvaluateFormula(std::string_view formula, tables::TTable* recordSource,
                             const NamedWindow* window) {
  FormulaCache& cache = FormulaCache::Instance();
  // Reused so that looking up a known formula allocates nothing.
  static std::string key;
  FormulaCache::MakeKey(formula, key);
  const TDuplStrList* translation = cache.Find(key);
  if (translation == nullptr) {
    TokenList tokens;
    TypeList types;
    TranslateFormula(formula, tokens, types);
    translation = &cache.Add(key, TDuplStrList(tokens, types));
  }
  return CalculateFormula(translation->Tokens(), translation->Types(), recordSource, window);
}

FormulaValue EvaluateFormulaOnce(std::string_view formula, tables::TTable* recordSource,
                                 const NamedWindow* window) {
  TokenList tokens;
  TypeList types;
  TranslateFormula(formula, tokens, types);
  return CalculateFormula(tokens, types, recordSource, window);
}

}  // namespace nox::formula

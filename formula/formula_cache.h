#pragma once
// Translated formulas kept for reuse, and the process-wide cache of them.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

#include "formula/formula.h"

namespace nox::formula {

// A translated formula kept for reuse: its own copies of a token list and a type list, never
// changed after it is built.
class TDuplStrList {
 public:
  TDuplStrList(const TokenList& tokens, const TypeList& types) : tokens_(tokens), types_(types) {}

  const TokenList& Tokens() const { return tokens_; }
  const TypeList& Types() const { return types_; }

 private:
  TokenList tokens_;
  TypeList types_;
};

// The process-wide cache of translations, keyed by the formula text with a-z upper-cased. Keys
// are compared exactly; entries are only ever added, and stay where they are.
class FormulaCache {
 public:
  static FormulaCache& Instance();

  // The key of a formula text: its letters a to z in upper case, everything else as it is.
  static void MakeKey(std::string_view formula, std::string& key);

  const TDuplStrList* Find(const std::string& key) const;
  const TDuplStrList& Add(const std::string& key, TDuplStrList translation);
  std::size_t Size() const { return entries_.size(); }

 private:
  FormulaCache() = default;

  std::unordered_map<std::string, TDuplStrList> entries_;
};

}  // namespace nox::formula

#pragma once
// A translated formula made cheap to calculate record after record. Its first calculation is the
// calculator's own, watched step by step; later ones replay those steps on the new record's
// values in numbered slots, with the same rules and built-in functions, without rewriting lists.
// A slot holds a whole number as the number and a number literal already read, so arithmetic
// writes and reads texts only where a function or the value needs them; texts of the record's
// fields and of literals are looked at where they are, not copied.
// Which steps the calculator takes depends only on the tags, so a replay holds as long as every
// step yields the tag it yielded when it was watched; where one does not, or a formula cannot be
// replayed at all (another table's fields, absent values), the calculator computes the value.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formula/formula.h"

namespace nox::formula {

class NamedWindow;
struct ReplayProgram;
struct ReplaySlot;

class CompiledFormula {
 public:
  CompiledFormula(TokenList tokens, TypeList types);
  ~CompiledFormula();
  CompiledFormula(CompiledFormula&&) noexcept;
  CompiledFormula& operator=(CompiledFormula&&) noexcept;

  // The value CalculateFormula gives for the lists, with the same errors and messages.
  FormulaValue Calculate(tables::TTable* recordSource, const NamedWindow* window);

  const TokenList& Tokens() const { return tokens_; }
  const TypeList& Types() const { return types_; }
  // How the last Calculate got its value.
  enum class Path : std::uint8_t { Calculator, Recorded, Replayed };
  Path LastPath() const { return lastPath_; }
  // The tag of the value of the last Calculate (Empty when it was the error value or empty).
  Tag LastTag() const { return lastTag_; }

 private:
  bool Replay(tables::TTable* recordSource, const NamedWindow* window, FormulaValue& value);

  TokenList tokens_;
  TypeList types_;
  std::unique_ptr<ReplayProgram> program_;
  bool replayable_ = true;  // false once a watched calculation could not be replayed
  std::vector<ReplaySlot> slots_;
  Path lastPath_ = Path::Calculator;
  Tag lastTag_ = Tag::Empty;
};

}  // namespace nox::formula

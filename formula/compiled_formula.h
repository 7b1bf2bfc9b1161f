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
#include <optional>
#include <string>
#include <vector>

#include "formula/formula.h"
#include "tables/value.h"

namespace nox::formula {

class NamedWindow;
struct ReplayProgram;
struct ReplaySlot;

// What a calculated value is assigned to: a field that keeps it as a text, or one that reads a
// number from it, whole numbers only or decimals too.
enum class ValueTarget : std::uint8_t { Text, WholeNumber, Number };

class CompiledFormula {
 public:
  CompiledFormula(TokenList tokens, TypeList types);
  ~CompiledFormula();
  CompiledFormula(CompiledFormula&&) noexcept;
  CompiledFormula& operator=(CompiledFormula&&) noexcept;

  // The value CalculateFormula gives for the lists, with the same errors and messages.
  FormulaValue Calculate(tables::TTable* recordSource, const NamedWindow* window);
  // The same as a field value for the target, assigned in place (a text keeps the storage of the
  // one before): a result the target would read from its text as a number it is already known to
  // be is given as that number, without writing the text; any other as its text.
  void CalculateValue(tables::TTable* recordSource, const NamedWindow* window, ValueTarget target,
                      tables::Value& value);

  const TokenList& Tokens() const { return tokens_; }
  const TypeList& Types() const { return types_; }
  // How the last Calculate got its value.
  enum class Path : std::uint8_t { Calculator, Recorded, Replayed };
  Path LastPath() const { return lastPath_; }
  // The tag of the value of the last Calculate (Empty when it was the error value or empty).
  Tag LastTag() const { return lastTag_; }

 private:
  // Gives the text in value, or a number for the target in number (then true; number is left
  // alone otherwise).
  bool Evaluate(tables::TTable* recordSource, const NamedWindow* window, ValueTarget target,
                FormulaValue& value, tables::Value& number);
  // Nothing when the record cannot be replayed.
  std::optional<bool> Replay(tables::TTable* recordSource, const NamedWindow* window,
                             ValueTarget target, FormulaValue& value, tables::Value& number);

  TokenList tokens_;
  TypeList types_;
  std::unique_ptr<ReplayProgram> program_;
  bool replayable_ = true;  // false once a watched calculation could not be replayed
  std::vector<ReplaySlot> slots_;
  FormulaValue text_;  // CalculateValue's text, kept for its storage
  Path lastPath_ = Path::Calculator;
  Tag lastTag_ = Tag::Empty;
};

}  // namespace nox::formula

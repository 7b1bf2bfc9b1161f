#pragma once
// The calculator's inner workings that tests and tools may watch: the cycle limit and an observer
// that sees the working lists after every pass that rewrote them.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "formula/formula.h"
#include "formula/function_library.h"
#include "tables/field_defs.h"

namespace nox::tables {
class TField;
}

namespace nox::formula {

inline constexpr int kMaxReductionCycles = 200;

// The pass numbers of a reduction cycle, in the order they run.
enum class ReductionPass {
  AbsentValues = 1,
  Calls5 = 2,
  Calls4 = 3,
  Calls3 = 4,
  Calls2 = 5,
  Calls1 = 6,
  Operators = 7,
  Negation = 8,
};

struct ReductionStep {
  int cycle = 0;  // from 1
  ReductionPass pass = ReductionPass::AbsentValues;
};

using ReductionObserver =
    std::function<void(const ReductionStep& step, const TokenList& tokens, const TypeList& types)>;

// The rewrites of pass 7 (and the negation of pass 8). Which one applies depends on the tags, the
// operator's text and the function name only; what it yields is computed from the values.
enum class OperatorRule : std::uint8_t {
  Concatenation,   // text + text
  IntegerProduct,  // whole * whole
  RealProduct,     // * with decimals
  Quotient,        // any division of numbers
  RealSum,         // + or - with decimals
  IntegerSum,      // whole + or - whole
  DateSum,         // date + or - days
  Parentheses,     // ( X ): the middle token
  Today,           // DATE()
  Comparison,      // one of the six comparisons
  Logic,           // "&" or "^" between logical values
  Negation,        // "!" before a logical value (its operand is the right one)
};

// The value a rule makes of its operands, exactly as the calculator makes it.
CallResult ApplyOperatorRule(OperatorRule rule, Operand left, Operand op, Operand right);

// A number operand as the arithmetic and comparison rules read it: its value and the decimal
// places its text shows.
struct NumberOperand {
  long double value = 0;
  int decimals = 0;
};
// Reads a "Par" or "ParR" text as those rules do, raising what they raise.
NumberOperand ReadNumberOperand(std::string_view text, Tag tag);
// Whether the rule's value comes from its operands' numbers alone (arithmetic, and comparisons
// of two numbers).
bool IsNumberRule(OperatorRule rule, Tag left, Tag right);
// The value of such a rule from numbers already read, before its text is written: a whole number
// ("Par" from integer arithmetic) whose text is its decimal digits, a number rounded to decimals
// whose text is RoundedText(decimals, value), or a logical value.
struct NumberRuleValue {
  enum class Kind : std::uint8_t { Whole, Rounded, Logical };
  Kind kind = Kind::Whole;
  Tag tag = Tag::Empty;
  std::int32_t whole = 0;
  int decimals = 0;
  long double rounded = 0;
  bool holds = false;
};
NumberRuleValue ApplyNumberRule(OperatorRule rule, Tag leftTag, Operand op, Tag rightTag,
                                NumberOperand left, NumberOperand right);
// The text of that value; a rounded value that is no finite number raises the overflow error.
std::string NumberRuleText(const NumberRuleValue& value);
// The text of a whole number as integer arithmetic writes it.
std::string WholeNumberText(std::int32_t value);

// The tag a field's value gets, and the text a calculation reads from it.
Tag FieldTag(tables::FieldType type);
std::string FieldText(const tables::TField& field, Tag tag);

// The value of a calculation that ends with one token, and of one that ends with several (the
// error value, after the warning has been shown).
FormulaValue TokenValue(std::string_view text, Tag tag, char hostSeparator);
// The same written into value, keeping its storage.
void AssignTokenValue(FormulaValue& value, std::string_view text, Tag tag, char hostSeparator);
FormulaValue UnreducedValue(const TokenList& tokens);

// Watches a calculation rewrite its lists, position by position, to replay it later.
class ReductionRecorder {
 public:
  virtual ~ReductionRecorder() = default;
  // The lists after field resolution; fieldAt holds the index of the record source's field read
  // at each position, -1 where none was.
  virtual void Resolved(const TokenList& tokens, const TypeList& types,
                        const std::vector<int>& fieldAt) = 0;
  // Something happened that a replay cannot repeat (another table's field, an absent value, a
  // field that could not be read).
  virtual void NotReplayable() = 0;
  // A call with the given number of arguments at `at` was rewritten into a token tagged `tag`.
  virtual void Called(std::size_t at, std::size_t arguments, Tag tag) = 0;
  // The three tokens at `at` were rewritten by the rule into a token tagged `tag`.
  virtual void Rewrote(std::size_t at, OperatorRule rule, Tag tag) = 0;
  // The "!" at `at` and the logical value after it became one logical value.
  virtual void Negated(std::size_t at) = 0;
};

// CalculateFormula, telling the recorder every step.
FormulaValue CalculateRecorded(const TokenList& tokens, const TypeList& types,
                               tables::TTable* recordSource, const NamedWindow* window,
                               ReductionRecorder& recorder);

// CalculateFormula with an observer (may be empty).
FormulaValue CalculateObserved(const TokenList& tokens, const TypeList& types,
                               tables::TTable* recordSource, const NamedWindow* window,
                               const ReductionObserver& observer);

}  // namespace nox::formula

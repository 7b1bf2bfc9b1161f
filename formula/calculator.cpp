// CalculateFormula: resolves field names, then rewrites the working lists in cycles of eight
// passes until one token is left. The order in which the rules are tried is the language's
// precedence.

#include "formula/calculator.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <ctime>
#include <optional>
#include <string>
#include <utility>

#include "formula/function_library.h"
#include "formula/named_window.h"
#include "formula/number_routines.h"
#include "host/date_time.h"
#include "host/host_formats.h"
#include "host/messages.h"
#include "host/number_format.h"
#include "tables/table.h"

namespace nox::formula {
namespace {

using tables::FieldType;

constexpr int kMaxDivisionDecimals = 15;
// Far beyond what the 18 digits of a rounding can use; keeps sums of decimal places in range.
constexpr int kDecimalPlacesCap = 1000;

bool IsBlankChar(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// --- Reading numbers (always with "." as the decimal point) ---

// A "ParR" text: the longest numeric prefix, or 0 when there is none. The translator makes
// texts such as -A from (-A), which are no numbers and must not end the calculation.
long double ReadReal(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && IsBlankChar(text[at]))
    ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  // from_chars would also read "inf" and "nan"; a number starts with a digit or the point.
  if (at == text.size() || !(IsDigit(text[at]) || text[at] == '.')) return 0;
  const char* begin = text.data() + at;
  const char* end = text.data() + text.size();
  long double value = 0;
  double narrow = 0;
  const std::errc error = std::from_chars(begin, end, narrow).ec;
  if (error == std::errc()) {
    value = narrow;
  } else if (error == std::errc::result_out_of_range) {
    // Beyond a double (1E400, 1E-400) extended precision still holds it.
    if (std::from_chars(begin, end, value).ec != std::errc()) {
      throw FormulaError(host::QuotedInput(text) + " is out of range");
    }
  } else {
    return 0;
  }
  return negative ? -value : value;
}

long double ReadNumber(std::string_view text, Tag tag) {
  return tag == Tag::Par ? ReadWholeNumber(text) : ReadReal(text);
}

// The decimal places a number text shows: the negative exponent, else the digits after ".".
int DecimalPlaces(std::string_view text) {
  const auto e =
      std::find_if(text.begin(), text.end(), [](char c) { return c == 'E' || c == 'e'; });
  if (e != text.end()) {
    std::string_view exponent = text.substr(static_cast<std::size_t>(e - text.begin()) + 1);
    while (!exponent.empty() && IsBlankChar(exponent.front()))
      exponent.remove_prefix(1);
    if (exponent.empty() || exponent.front() != '-') return 0;
    exponent.remove_prefix(1);
    int places = 0;
    for (const char c : exponent) {
      if (!IsDigit(c)) break;
      places = std::min(places * 10 + (c - '0'), kDecimalPlacesCap);
    }
    return places;
  }
  const std::size_t point = text.find('.');
  if (point == std::string_view::npos) return 0;
  return std::min(static_cast<int>(text.size() - point - 1), kDecimalPlacesCap);
}

// Repeating digits meet the bound exactly (1/3 at 11 decimals, 10/3 at 10), where the rounding
// noise of the subtraction would decide case by case; the tolerance counts them as within it.
constexpr long double kDivisionBound = 1e-11L * (1 + 1e-6L);

// The fewest decimals (up to 15) that write the quotient within 1e-11 of its size.
int DivisionDecimals(long double q) {
  const long double magnitude = std::fabs(q);
  // Zero needs no decimals; without this it would fall through to 15 and come out as 1E-10.
  if (magnitude == 0) return 0;
  long double scale = 1;
  for (int k = 0; k < kMaxDivisionDecimals; ++k, scale *= 10) {
    const long double scaled = magnitude * scale;
    long double rounded = scaled / scale;  // from 2^63 on (and for no number) already whole
    if (scaled < 0x1p63L) {
      const auto [whole, fraction] = host::SplitWhole(scaled);
      rounded = (static_cast<long double>(whole) + (fraction >= 0.5L ? 1 : 0)) / scale;
    }
    if (std::fabs(magnitude - rounded) < magnitude * kDivisionBound) return k;
  }
  return kMaxDivisionDecimals;
}

// --- Dates ---

std::optional<long double> ReadDate(std::string_view text) {
  const auto date = host::ParseHostDate(text);
  if (!date) return std::nullopt;
  return host::EncodeDate(*date);
}

std::string DateText(long double dayNumber) {
  const host::CivilDate date = host::DecodeDate(static_cast<double>(dayNumber));
  if (!host::IsValidDate(date)) throw FormulaError("Date out of range");
  return host::FormatHostDate(date);
}

std::string Today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return host::FormatHostDate({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday});
}

// --- Comparisons ---

enum class Comparison { None, Greater, Less, Equal, GreaterEqual, LessEqual, NotEqual };

Comparison ComparisonOf(std::string_view op) {
  if (op == ">") return Comparison::Greater;
  if (op == "<") return Comparison::Less;
  if (op == "=") return Comparison::Equal;
  if (op == ">=") return Comparison::GreaterEqual;
  if (op == "<=") return Comparison::LessEqual;
  if (op == "<>" || op == "#") return Comparison::NotEqual;
  return Comparison::None;
}

template <typename T>
bool Holds(Comparison comparison, const T& a, const T& b) {
  switch (comparison) {
    case Comparison::Greater:
      return a > b;
    case Comparison::Less:
      return a < b;
    case Comparison::Equal:
      return a == b;
    case Comparison::GreaterEqual:
      return a >= b;
    case Comparison::LessEqual:
      return a <= b;
    case Comparison::NotEqual:
      return a != b;
    case Comparison::None:
      break;
  }
  return false;
}

char BoolChar(bool value) {
  return value ? 'T' : 'F';
}

std::string IntegerText(std::int32_t value) {
  std::array<char, 16> buffer{};
  const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value).ptr;
  return std::string(buffer.data(), end);
}

long double RequireDate(std::string_view text) {
  const std::optional<long double> date = ReadDate(text);
  if (!date) throw FormulaError(host::QuotedInput(text) + " is not a valid date");
  return *date;
}

// --- Tags ---

bool IsText(Tag tag) {
  return tag == Tag::Str || tag == Tag::ParStr;
}
bool IsNumber(Tag tag) {
  return tag == Tag::Par || tag == Tag::ParR;
}
// Two numbers of which at least one has decimals.
bool IsMixed(Tag a, Tag b) {
  return IsNumber(a) && IsNumber(b) && (a == Tag::ParR || b == Tag::ParR);
}
bool IsArithmetic(Tag tag) {
  return tag == Tag::Plus || tag == Tag::Minus || tag == Tag::Star || tag == Tag::Slash;
}
// A tag a token standing for a value can have, and so a function argument.
bool IsValue(Tag tag) {
  switch (tag) {
    case Tag::Par:
    case Tag::ParR:
    case Tag::Str:
    case Tag::ParStr:
    case Tag::Arr:
    case Tag::Bool:
    case Tag::Date:
    case Tag::Nil:
      return true;
    default:
      return false;
  }
}

constexpr std::size_t kMaxArguments = 5;
constexpr std::size_t kLongestFunctionName = 16;

class Reduction {
 public:
  Reduction(TokenList& tokens, TypeList& types, const CalculationContext& context,
            const ReductionObserver& observer, ReductionRecorder* recorder)
      : tok_(tokens), typ_(types), context_(context), observer_(observer), recorder_(recorder) {}

  void ResolveFields() {
    if (recorder_ != nullptr) fieldAt_.assign(tok_.size(), -1);
    for (std::size_t i = 0; i < tok_.size(); ++i) {
      if (typ_[i] != Tag::Pole) continue;
      const std::string_view name = tok_[i];
      const std::size_t first = name.find('.');
      if (first == std::string_view::npos) {
        ResolveBareName(i);
      } else {
        const std::size_t second = name.find('.', first + 1);
        NotReplayable();  // another table's record may move between two calculations
        if (second == std::string_view::npos) {
          ResolveQualified(i, context_.window, name.substr(0, first), name.substr(first + 1));
        } else if (const NamedWindow* window = FindNamedWindow(name.substr(0, first))) {
          ResolveQualified(i, window, name.substr(first + 1, second - first - 1),
                           name.substr(second + 1));
        } else {
          tok_[i].clear();
          typ_[i] = Tag::Nil;
        }
      }
      if (i > 0 && typ_[i - 1] == Tag::Comma && typ_[i] == Tag::Str) typ_[i] = Tag::ParStr;
    }
    if (recorder_ != nullptr) recorder_->Resolved(tok_, typ_, fieldAt_);
  }

  void Run() {
    for (int cycle = 1; tok_.size() >= 2 && cycle <= kMaxReductionCycles; ++cycle) {
      bool changed = Observe(cycle, ReductionPass::AbsentValues, FillAbsentValues());
      // Without a function name left the call passes cannot rewrite anything.
      if (std::find(typ_.begin(), typ_.end(), Tag::Func) != typ_.end()) {
        changed |= Observe(cycle, ReductionPass::Calls5, RewriteCall(5));
        changed |= Observe(cycle, ReductionPass::Calls4, RewriteCall(4));
        changed |= Observe(cycle, ReductionPass::Calls3, RewriteCall(3));
        changed |= Observe(cycle, ReductionPass::Calls2, RewriteCall(2));
        changed |= Observe(cycle, ReductionPass::Calls1, RewriteCall(1));
      }
      changed |= Observe(cycle, ReductionPass::Operators, RewriteOperator());
      changed |= Observe(cycle, ReductionPass::Negation, Negate());
      // The rules depend on nothing but the lists, so a cycle that rewrote nothing would be
      // repeated unchanged up to the limit.
      if (!changed) break;
    }
  }

  FormulaValue Value(char hostSeparator) const {
    if (tok_.size() >= 2) return UnreducedValue(tok_);
    if (tok_.empty()) return {};
    return TokenValue(tok_[0], typ_[0], hostSeparator);
  }

 private:
  bool Observe(int cycle, ReductionPass pass, bool changed) const {
    if (changed && observer_) observer_(ReductionStep{cycle, pass}, tok_, typ_);
    return changed;
  }

  // --- Field resolution ---

  // A name that is no field of the record stands for its own text; so does any failure here.
  void ResolveBareName(std::size_t i) {
    typ_[i] = Tag::Str;
    if (context_.recordSource == nullptr) return;
    try {
      tables::TField* field = context_.recordSource->FindField(tok_[i]);
      if (field == nullptr) return;
      const Tag tag = FieldTag(field->DataType());
      tok_[i] = FieldText(*field, tag);
      typ_[i] = tag;
      if (recorder_ != nullptr) fieldAt_[i] = field->Index();
    } catch (const std::exception&) {
      typ_[i] = Tag::Str;
      NotReplayable();
    }
  }

  void ResolveQualified(std::size_t i, const NamedWindow* window, std::string_view tableName,
                        std::string_view fieldName) {
    tables::TTable* table = window != nullptr ? window->FindTable(tableName) : nullptr;
    if (table == nullptr)
      throw FormulaError("Table " + host::QuotedInput(tableName) + " not found");
    if (!table->Active()) {
      throw FormulaError("Table '" + std::string(tableName) + "' is not open");
    }
    tables::TField* field = table->FindField(fieldName);
    if (field == nullptr)
      throw FormulaError("Field " + host::QuotedInput(fieldName) + " not found");
    std::string text;
    try {
      text = field->AsString();
    } catch (const std::exception& error) {
      throw FormulaError(error.what());
    }
    tok_[i] = std::move(text);
    typ_[i] = FieldTag(field->DataType());
  }

  // --- Rewriting ---

  // The result is already at i; the rest of the window goes.
  void Collapse(std::size_t i, std::size_t width, Tag tag) {
    const auto first = static_cast<std::ptrdiff_t>(i) + 1;
    const auto last = static_cast<std::ptrdiff_t>(i + width);
    tok_.erase(tok_.begin() + first, tok_.begin() + last);
    typ_.erase(typ_.begin() + first, typ_.begin() + last);
    typ_[i] = tag == Tag::Str && i > 0 && typ_[i - 1] == Tag::Comma ? Tag::ParStr : tag;
  }

  void NotReplayable() {
    if (recorder_ != nullptr) recorder_->NotReplayable();
  }

  // Pass 1: a value that is absent next to an arithmetic operator counts as 0 or "".
  bool FillAbsentValues() {
    bool changed = false;
    const auto fillsFrom = [](Tag tag) { return IsText(tag) || IsNumber(tag); };
    for (std::size_t i = 0; i + 3 <= tok_.size(); ++i) {
      if (!IsArithmetic(typ_[i + 1])) continue;
      if (fillsFrom(typ_[i]) && typ_[i + 2] == Tag::Nil) {
        Fill(i + 2, typ_[i]);
        changed = true;
      } else if (typ_[i] == Tag::Nil && fillsFrom(typ_[i + 2])) {
        Fill(i, typ_[i + 2]);
        changed = true;
      }
    }
    if (changed) NotReplayable();
    return changed;
  }

  // A text filled in takes the tag of its own place: "ParStr" after ",", else "Str" (copying
  // "ParStr" from the other operand would leave a text no rule accepts).
  void Fill(std::size_t at, Tag from) {
    if (IsText(from)) {
      tok_[at].clear();
      typ_[at] = at > 0 && typ_[at - 1] == Tag::Comma ? Tag::ParStr : Tag::Str;
    } else {
      tok_[at].clear();
      tok_[at].push_back('0');
      typ_[at] = from;
    }
  }

  // Passes 2 to 6: the leftmost call with k single-token arguments whose tags fit.
  bool RewriteCall(std::size_t k) {
    const std::size_t width = 2 * k + 2;
    for (std::size_t i = 0; i + width <= tok_.size(); ++i) {
      if (typ_[i] == Tag::Func && TryCall(i, k)) return true;
    }
    return false;
  }

  bool TryCall(std::size_t i, std::size_t k) {
    if (typ_[i] != Tag::Func || typ_[i + 1] != Tag::LParen || typ_[i + 2 * k + 1] != Tag::RParen) {
      return false;
    }
    std::array<Operand, kMaxArguments> args{};
    for (std::size_t j = 0; j < k; ++j) {
      const std::size_t at = i + 2 + 2 * j;
      if (!IsValue(typ_[at])) return false;
      if (j + 1 < k && typ_[at + 1] != Tag::Comma) return false;
      args[j] = Operand{tok_[at], typ_[at]};
    }
    const std::string& name = tok_[i];
    if (name.size() > kLongestFunctionName) return false;
    std::array<char, kLongestFunctionName> upper{};
    for (std::size_t c = 0; c < name.size(); ++c) {
      const char ch = name[c];
      upper[c] = (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 'a' + 'A') : ch;
    }
    std::optional<CallResult> result =
        CallBuiltin(std::string_view(upper.data(), name.size()),
                    std::span<const Operand>(args.data(), k), context_);
    if (!result) return false;
    // A nested calculation inside the call may have replaced the lists' strings; only positions
    // are used from here on.
    tok_[i] = std::move(result->text);
    Collapse(i, 2 * k + 2, result->tag);
    if (recorder_ != nullptr) recorder_->Called(i, k, typ_[i]);
    return true;
  }

  // Pass 7: the leftmost operator, parenthesis or DATE() that a rule rewrites.
  bool RewriteOperator() {
    for (std::size_t i = 0; i + 3 <= tok_.size(); ++i) {
      const std::optional<OperatorRule> rule = MatchOperator(i);
      if (!rule) continue;
      if (*rule == OperatorRule::Parentheses) {
        std::swap(tok_[i], tok_[i + 1]);
        Collapse(i, 3, typ_[i + 1]);
      } else {
        CallResult result =
            ApplyOperatorRule(*rule, Operand{tok_[i], typ_[i]}, Operand{tok_[i + 1], typ_[i + 1]},
                              Operand{tok_[i + 2], typ_[i + 2]});
        tok_[i] = std::move(result.text);
        Collapse(i, 3, result.tag);
      }
      if (recorder_ != nullptr) recorder_->Rewrote(i, *rule, typ_[i]);
      return true;
    }
    return false;
  }

  // The rule of pass 7 that rewrites the three tokens at i; which one depends on the tags, the
  // operator's text and the function name only, never on the values.
  std::optional<OperatorRule> MatchOperator(std::size_t i) const {
    const Tag a = typ_[i];
    const Tag op = typ_[i + 1];
    const Tag b = typ_[i + 2];
    // "+" and "-" wait while "*" or "/" follows their right operand.
    const bool waits =
        i + 3 < tok_.size() && (typ_[i + 3] == Tag::Star || typ_[i + 3] == Tag::Slash);

    if (IsText(a) && op == Tag::Plus && b == Tag::Str) return OperatorRule::Concatenation;
    if (a == Tag::Par && op == Tag::Star && b == Tag::Par) return OperatorRule::IntegerProduct;
    if (op == Tag::Star && IsMixed(a, b)) return OperatorRule::RealProduct;
    if (op == Tag::Slash && (IsMixed(a, b) || (a == Tag::Par && b == Tag::Par))) {
      return OperatorRule::Quotient;
    }
    if (!waits && (op == Tag::Plus || op == Tag::Minus)) {
      if (IsMixed(a, b)) return OperatorRule::RealSum;
      if (a == Tag::Par && b == Tag::Par) return OperatorRule::IntegerSum;
      if (a == Tag::Date && IsNumber(b)) return OperatorRule::DateSum;
    }
    if (a == Tag::LParen && b == Tag::RParen &&
        (i == 0 || (typ_[i - 1] != Tag::Func && typ_[i - 1] != Tag::FuncX))) {
      return OperatorRule::Parentheses;
    }
    if (a == Tag::Func && op == Tag::LParen && b == Tag::RParen && IsDateName(tok_[i])) {
      return OperatorRule::Today;
    }
    if (op != Tag::Znak) return std::nullopt;
    if (ComparisonOf(tok_[i + 1]) != Comparison::None) {
      if ((IsText(a) && b == Tag::Str) || (a == Tag::Date && b == Tag::Date) ||
          (IsNumber(a) && IsNumber(b))) {
        return OperatorRule::Comparison;
      }
      return std::nullopt;
    }
    if (a == Tag::Bool && b == Tag::Bool && (tok_[i + 1] == "^" || tok_[i + 1] == "&")) {
      return OperatorRule::Logic;
    }
    return std::nullopt;
  }

  static bool IsDateName(std::string_view name) {
    return name.size() == 4 && (name[0] | 0x20) == 'd' && (name[1] | 0x20) == 'a' &&
           (name[2] | 0x20) == 't' && (name[3] | 0x20) == 'e';
  }

  // Pass 8: every "!" before a logical value.
  bool Negate() {
    bool changed = false;
    for (std::size_t i = 0; i + 1 < tok_.size(); ++i) {
      if (typ_[i] == Tag::Znak && tok_[i] == "!" && typ_[i + 1] == Tag::Bool) {
        CallResult result = ApplyOperatorRule(OperatorRule::Negation, Operand{tok_[i], typ_[i]},
                                              Operand{}, Operand{tok_[i + 1], typ_[i + 1]});
        tok_[i] = std::move(result.text);
        Collapse(i, 2, result.tag);
        if (recorder_ != nullptr) recorder_->Negated(i);
        changed = true;
      }
    }
    return changed;
  }

  TokenList& tok_;
  TypeList& typ_;
  const CalculationContext& context_;
  const ReductionObserver& observer_;
  ReductionRecorder* recorder_;
  std::vector<int> fieldAt_;  // recording only: the field read at each position, or -1
};

}  // namespace

namespace {

FormulaValue Calculate(const TokenList& tokens, const TypeList& types, tables::TTable* recordSource,
                       const NamedWindow* window, const ReductionObserver& observer,
                       ReductionRecorder* recorder) {
  if (tokens.size() != types.size()) {
    throw FormulaError("The token list and the type list of a formula differ in length");
  }
  const host::CalculationSeparatorScope separator;
  TokenList& workTokens = WorkTokens();
  TypeList& workTypes = WorkTypes();
  workTokens = tokens;
  workTypes = types;
  if (!workTypes.empty() && workTypes.back() == Tag::Empty) {
    workTokens.pop_back();
    workTypes.pop_back();
  }
  const CalculationContext context{recordSource, window};
  Reduction reduction(workTokens, workTypes, context, observer, recorder);
  reduction.ResolveFields();
  reduction.Run();
  return reduction.Value(separator.HostSeparator());
}

}  // namespace

Tag FieldTag(FieldType type) {
  switch (type) {
    case FieldType::String:
    case FieldType::Memo:
    case FieldType::FmtMemo:
      return Tag::Str;
    case FieldType::Boolean:
      return Tag::Bool;
    case FieldType::Float:
      return Tag::ParR;
    case FieldType::Date:
      return Tag::Date;
    default:
      return Tag::Par;
  }
}

std::string FieldText(const tables::TField& field, Tag tag) {
  // An empty date field reads as day 0.
  return tag == Tag::Date ? host::DateTimeToHostText(field.AsDateTime()) : field.AsString();
}

NumberOperand ReadNumberOperand(std::string_view text, Tag tag) {
  return {ReadNumber(text, tag), DecimalPlaces(text)};
}

bool IsNumberRule(OperatorRule rule, Tag left, Tag right) {
  switch (rule) {
    case OperatorRule::IntegerProduct:
    case OperatorRule::RealProduct:
    case OperatorRule::Quotient:
    case OperatorRule::RealSum:
    case OperatorRule::IntegerSum:
      return true;
    case OperatorRule::Comparison:
      return IsNumber(left) && IsNumber(right);
    default:
      return false;
  }
}

std::string WholeNumberText(std::int32_t value) {
  return IntegerText(value);
}

NumberRuleValue ApplyNumberRule(OperatorRule rule, Tag leftTag, Operand op, Tag rightTag,
                                NumberOperand left, NumberOperand right) {
  using Kind = NumberRuleValue::Kind;
  const auto whole = [](std::int64_t value) {
    NumberRuleValue result{Kind::Whole, Tag::Par};
    result.whole = static_cast<std::int32_t>(value);  // wraps around
    return result;
  };
  const auto rounded = [](int decimals, long double value, Tag tag) {
    NumberRuleValue result{Kind::Rounded, tag};
    result.decimals = decimals;
    result.rounded = value;
    return result;
  };
  // "Par" operands hold 32-bit values, which long double carries exactly.
  const auto integer = [](const NumberOperand& operand) {
    // Through a double, which holds them too and converts without switching the rounding mode.
    return static_cast<std::int64_t>(static_cast<double>(operand.value));
  };
  switch (rule) {
    case OperatorRule::IntegerProduct:
      return whole(integer(left) * integer(right));
    case OperatorRule::RealProduct:
      return rounded(std::min(left.decimals + right.decimals, kDecimalPlacesCap),
                     left.value * right.value, Tag::ParR);
    case OperatorRule::Quotient: {
      if (right.value == 0) throw FormulaError("Division by zero");
      const long double quotient = left.value / right.value;
      const int decimals = DivisionDecimals(quotient);
      const bool isWhole = leftTag == Tag::Par && rightTag == Tag::Par && decimals == 0;
      return rounded(decimals, quotient, isWhole ? Tag::Par : Tag::ParR);
    }
    case OperatorRule::RealSum:
      return rounded(std::max(left.decimals, right.decimals),
                     op.tag == Tag::Plus ? left.value + right.value : left.value - right.value,
                     Tag::ParR);
    case OperatorRule::IntegerSum:
      return whole(op.tag == Tag::Plus ? integer(left) + integer(right)
                                       : integer(left) - integer(right));
    case OperatorRule::Comparison: {
      NumberRuleValue result{Kind::Logical, Tag::Bool};
      result.holds = Holds(ComparisonOf(op.text), left.value, right.value);
      return result;
    }
    default:
      break;
  }
  return {};
}

std::string NumberRuleText(const NumberRuleValue& value) {
  switch (value.kind) {
    case NumberRuleValue::Kind::Whole:
      return IntegerText(value.whole);
    case NumberRuleValue::Kind::Rounded:
      if (!std::isfinite(value.rounded)) throw FormulaError("Floating point overflow");
      return RoundedText(value.decimals, value.rounded);
    case NumberRuleValue::Kind::Logical:
      break;
  }
  return std::string(1, BoolChar(value.holds));
}

CallResult ApplyOperatorRule(OperatorRule rule, Operand left, Operand op, Operand right) {
  if (IsNumberRule(rule, left.tag, right.tag)) {
    // The left operand is read first, so the error of a faulty one is always the same.
    const NumberOperand x = ReadNumberOperand(left.text, left.tag);
    const NumberOperand y = ReadNumberOperand(right.text, right.tag);
    const NumberRuleValue value = ApplyNumberRule(rule, left.tag, op, right.tag, x, y);
    return {NumberRuleText(value), value.tag};
  }
  switch (rule) {
    case OperatorRule::Concatenation: {
      std::string text;
      text.reserve(left.text.size() + right.text.size());
      text.append(left.text).append(right.text);
      return {std::move(text), Tag::Str};
    }
    case OperatorRule::DateSum: {
      const bool plus = op.tag == Tag::Plus;
      const long double days = ReadNumber(right.text, right.tag);
      const std::optional<long double> date = ReadDate(left.text);
      // An unreadable date: adding gives day number B, subtracting gives day 0.
      const long double result = date ? (plus ? *date + days : *date - days) : (plus ? days : 0);
      return {DateText(result), Tag::Date};
    }
    case OperatorRule::Parentheses:
      return {std::string(op.text), op.tag};
    case OperatorRule::Today:
      return {Today(), Tag::Date};
    case OperatorRule::Comparison: {
      const Comparison comparison = ComparisonOf(op.text);
      bool holds = false;
      if (IsText(left.tag) && right.tag == Tag::Str) {
        holds = Holds(comparison, left.text, right.text);  // byte by byte, as unsigned characters
      } else {
        holds = Holds(comparison, RequireDate(left.text), RequireDate(right.text));
      }
      return {std::string(1, BoolChar(holds)), Tag::Bool};
    }
    case OperatorRule::Logic: {
      const bool x = IsTrue(left.text);
      const bool y = IsTrue(right.text);
      return {std::string(1, BoolChar(op.text == "^" ? (x || y) : (x && y))), Tag::Bool};
    }
    case OperatorRule::Negation:
      return {std::string(1, BoolChar(!IsTrue(right.text))), Tag::Bool};
    default:
      break;
  }
  return {};
}

FormulaValue TokenValue(std::string_view text, Tag tag, char hostSeparator) {
  FormulaValue value;
  AssignTokenValue(value, text, tag, hostSeparator);
  return value;
}

void AssignTokenValue(FormulaValue& value, std::string_view text, Tag tag, char hostSeparator) {
  value.assign(text);
  if (tag != Tag::ParR) return;
  if (std::all_of(value.begin(), value.end(), IsBlankChar)) {
    value.assign(1, '0');
    return;
  }
  std::replace(value.begin(), value.end(), '.', hostSeparator);
}

FormulaValue UnreducedValue(const TokenList& tokens) {
  std::string expression;
  for (const std::string& token : tokens) {
    expression += token;
    if (expression.size() > host::kMessageInputLimit) break;
  }
  std::string message = "Can not evaluate expression:\r\r";
  message += host::InputForMessage(expression);
  host::ShowMessage(host::MessageKind::Warning, message);
  return std::string(kFormulaError);
}

FormulaValue CalculateObserved(const TokenList& tokens, const TypeList& types,
                               tables::TTable* recordSource, const NamedWindow* window,
                               const ReductionObserver& observer) {
  return Calculate(tokens, types, recordSource, window, observer, nullptr);
}

FormulaValue CalculateRecorded(const TokenList& tokens, const TypeList& types,
                               tables::TTable* recordSource, const NamedWindow* window,
                               ReductionRecorder& recorder) {
  return Calculate(tokens, types, recordSource, window, ReductionObserver(), &recorder);
}

FormulaValue CalculateFormula(const TokenList& tokens, const TypeList& types,
                              tables::TTable* recordSource, const NamedWindow* window) {
  return Calculate(tokens, types, recordSource, window, ReductionObserver(), nullptr);
}

}  // namespace nox::formula

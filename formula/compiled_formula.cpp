#include "formula/compiled_formula.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "formula/calculator.h"
#include "formula/function_library.h"
#include "formula/number_routines.h"
#include "formula/text_library.h"
#include "host/host_formats.h"
#include "host/number_format.h"
#include "tables/table.h"

namespace nox::formula {

namespace {

using Slot = std::uint16_t;
constexpr std::size_t kMaxSlots = std::numeric_limits<Slot>::max();
constexpr std::size_t kMaxCallArguments = 5;

// The calls a replay computes itself, as the built-in functions do once their signature fits
// (which the watched tags decided): those whose value is a part of an argument's text, looked at
// where it is, and ROUND, from the number already read.
enum class DirectCall : std::uint8_t {
  None,
  Trim,
  TrimLeft,
  TrimRight,
  SubStr,
  Left,
  Right,
  Str,
  Round
};

// One rewrite of the watched calculation. Its result goes to a slot of its own, so the slots of
// literals keep their texts from one record to the next.
struct ReplayStep {
  bool isCall = false;
  DirectCall direct = DirectCall::None;
  OperatorRule rule = OperatorRule::Parentheses;
  bool numberRule = false;  // computed from the operands' numbers
  std::uint8_t arguments = 0;
  bool afterComma = false;  // a text result becomes "ParStr"
  Tag tag = Tag::Empty;     // the tag the watched calculation got
  Slot result = 0;
  std::array<Slot, kMaxCallArguments> operands{};  // a rule's: left, operator, right
  std::array<Tag, kMaxCallArguments> operandTags{};
  const BuiltinFunction* function = nullptr;  // a call's
};

std::string UpperName(std::string_view name) {
  std::string upper(name);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

// Nested calculations show their own messages; a replay abandoned after one would show it twice.
bool CallsNestedFormulas(std::string_view upperName) {
  return upperName == "CASESTR" || upperName == "CASENUM";
}

DirectCall DirectCallOf(std::string_view upperName, std::size_t arguments) {
  struct Entry {
    std::string_view name;
    std::size_t arguments;
    DirectCall call;
  };
  static constexpr Entry kEntries[] = {
      {"ALLTRIM", 1, DirectCall::Trim},    {"LTRIM", 1, DirectCall::TrimLeft},
      {"RTRIM", 1, DirectCall::TrimRight}, {"SUBSTR", 3, DirectCall::SubStr},
      {"LEFT", 2, DirectCall::Left},       {"RIGHT", 2, DirectCall::Right},
      {"STR", 1, DirectCall::Str},         {"ROUND", 1, DirectCall::Round},
      {"ROUND", 2, DirectCall::Round}};
  for (const Entry& entry : kEntries) {
    if (entry.name == upperName && entry.arguments == arguments) return entry.call;
  }
  return DirectCall::None;
}

// A whole number read before; through a double, which holds it exactly and converts without
// switching the x87 rounding mode.
std::int32_t WholeValue(const NumberOperand& number) {
  return static_cast<std::int32_t>(static_cast<double>(number.value));
}

}  // namespace

struct ReplayProgram {
  const tables::TTable* source = nullptr;
  std::vector<std::string> initial;  // every token's text after field resolution
  TypeList initialTags;
  std::vector<std::pair<Slot, int>> fields;  // slot, field index of the record source
  std::vector<Tag> fieldTags;
  std::vector<ReplayStep> steps;
  std::vector<Slot> remaining;  // the slots left at the end, in list order
  std::vector<Tag> remainingTags;
};

// A value between two steps: a text looked at where it is (a literal, a field's stored text, a
// part of another slot's text) or owned, or a number whose text is written only when something
// reads it: a whole number, or the digits the general format writes. A number already read (a
// literal's, a whole number's, a rounding's) is kept beside it.
struct ReplaySlot {
  enum class Form : std::uint8_t { View, Owned, Whole, Digits };
  Form form = Form::View;
  std::string_view view;
  std::string owned;
  bool numberKnown = false;
  // The functions read the text as `number` too (they read decimals strictly, the rules
  // leniently).
  bool exact = false;
  NumberOperand number;
  host::GeneralDigits digits;  // Form::Digits

  std::string_view Text() {
    if (form == Form::Whole || form == Form::Digits) {
      std::array<char, host::kGeneralTextLimit> buffer;
      const char* end =
          form == Form::Whole
              ? std::to_chars(buffer.data(), buffer.data() + buffer.size(), WholeValue(number)).ptr
              : host::WriteGeneral(digits, '.', buffer.data());
      owned.assign(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
      form = Form::Owned;
    }
    return form == Form::Owned ? std::string_view(owned) : view;
  }
  void SetView(std::string_view text) {
    form = Form::View;
    view = text;
    numberKnown = false;
    exact = false;
  }
  void SetOwned(std::string text) {
    form = Form::Owned;
    owned = std::move(text);
    numberKnown = false;
    exact = false;
  }
  // Keeps the storage of the text the slot held before.
  std::string& Owned() {
    form = Form::Owned;
    numberKnown = false;
    exact = false;
    return owned;
  }
  void SetWhole(std::int32_t value) {
    form = Form::Whole;
    numberKnown = true;
    exact = true;
    number = {static_cast<long double>(value), 0};
  }
  // A number written in general format, with the value its text reads as.
  void SetDigits(const host::GeneralDigits& written, Tag tag, long double value) {
    form = Form::Digits;
    digits = written;
    const int decimals = written.count - 1 - written.exponent;
    // A whole number's text is read as 32 bits, so one beyond them is read (and fails) as text.
    numberKnown = tag == Tag::ParR || (decimals <= 0 && value >= INT32_MIN && value <= INT32_MAX);
    exact = numberKnown;
    number = {value, std::max(decimals, 0)};
  }
  NumberOperand Number(Tag tag) { return numberKnown ? number : ReadNumberOperand(Text(), tag); }
};

namespace {

// Mirrors the calculator's lists as slot numbers while it rewrites them.
class Recorder final : public ReductionRecorder {
 public:
  void Resolved(const TokenList& tokens, const TypeList& types,
                const std::vector<int>& fieldAt) override {
    if (tokens.size() > kMaxSlots) {
      replayable_ = false;
      return;
    }
    program_.initial = tokens;
    program_.initialTags = types;
    tags_ = types;
    slotAt_.resize(tokens.size());
    for (std::size_t i = 0; i < tokens.size(); ++i) {
      slotAt_[i] = static_cast<Slot>(i);
      if (fieldAt[i] >= 0) {
        program_.fields.emplace_back(static_cast<Slot>(i), fieldAt[i]);
        program_.fieldTags.push_back(types[i]);
      }
    }
  }

  void NotReplayable() override { replayable_ = false; }

  void Called(std::size_t at, std::size_t arguments, Tag tag) override {
    if (!replayable_) return;
    ReplayStep step = Begin(at, tag);
    step.isCall = true;
    step.arguments = static_cast<std::uint8_t>(arguments);
    const std::string name = UpperName(program_.initial[slotAt_[at]]);
    step.function = FindBuiltin(name);
    step.direct = DirectCallOf(name, arguments);
    if (step.function == nullptr || CallsNestedFormulas(name)) replayable_ = false;
    for (std::size_t j = 0; j < arguments; ++j) {
      step.operands[j] = slotAt_[at + 2 + 2 * j];
      step.operandTags[j] = tags_[at + 2 + 2 * j];
    }
    End(std::move(step), at, 2 * arguments + 2);
  }

  void Rewrote(std::size_t at, OperatorRule rule, Tag tag) override {
    if (!replayable_) return;
    if (rule == OperatorRule::Parentheses) {
      // The middle token stays, with the tag its place gives it: nothing to compute again.
      Remove(at, 3, slotAt_[at + 1], tag);
      return;
    }
    ReplayStep step = Begin(at, tag);
    step.rule = rule;
    step.numberRule = IsNumberRule(rule, tags_[at], tags_[at + 2]);
    for (std::size_t j = 0; j < 3; ++j) {
      step.operands[j] = slotAt_[at + j];
      step.operandTags[j] = tags_[at + j];
    }
    End(std::move(step), at, 3);
  }

  void Negated(std::size_t at) override {
    if (!replayable_) return;
    ReplayStep step = Begin(at, Tag::Bool);
    step.rule = OperatorRule::Negation;
    step.operands[0] = slotAt_[at];
    step.operandTags[0] = tags_[at];
    step.operands[2] = slotAt_[at + 1];
    step.operandTags[2] = tags_[at + 1];
    End(std::move(step), at, 2);
  }

  // The program, or nothing when the calculation cannot be replayed.
  std::unique_ptr<ReplayProgram> Finish(const tables::TTable* source, std::size_t tokensLeft) {
    if (!replayable_ || slotAt_.size() != tokensLeft) return nullptr;
    program_.source = source;
    program_.remaining = slotAt_;
    program_.remainingTags = tags_;
    return std::make_unique<ReplayProgram>(std::move(program_));
  }

 private:
  ReplayStep Begin(std::size_t at, Tag tag) const {
    ReplayStep step;
    step.tag = tag;
    step.afterComma = at > 0 && tags_[at - 1] == Tag::Comma;
    return step;
  }

  void End(ReplayStep step, std::size_t at, std::size_t width) {
    const std::size_t slot = program_.initial.size() + program_.steps.size();
    if (slot >= kMaxSlots) replayable_ = false;
    step.result = static_cast<Slot>(slot);
    Remove(at, width, step.result, step.tag);
    program_.steps.push_back(step);
  }

  // The tokens at `at` become the one in `slot`.
  void Remove(std::size_t at, std::size_t width, Slot slot, Tag tag) {
    const auto first = static_cast<std::ptrdiff_t>(at) + 1;
    const auto last = static_cast<std::ptrdiff_t>(at + width);
    slotAt_.erase(slotAt_.begin() + first, slotAt_.begin() + last);
    tags_.erase(tags_.begin() + first, tags_.begin() + last);
    slotAt_[at] = slot;
    tags_[at] = tag;
  }

  ReplayProgram program_;
  std::vector<Slot> slotAt_;
  TypeList tags_;
  bool replayable_ = true;
};

Tag ValueTag() {
  const TypeList& types = WorkTypes();
  return types.size() == 1 ? types.front() : Tag::Empty;
}

// The slots of a new program: literals hold their texts, number literals also their numbers
// (read here once, as the rules would read them; a text no rule can read stays a text).
std::vector<ReplaySlot> InitialSlots(const ReplayProgram& program) {
  std::vector<ReplaySlot> slots(program.initial.size() + program.steps.size());
  for (std::size_t i = 0; i < program.initial.size(); ++i) {
    ReplaySlot& slot = slots[i];
    slot.SetView(program.initial[i]);
    const Tag tag = program.initialTags[i];
    if (tag != Tag::Par && tag != Tag::ParR) continue;
    try {
      slot.number = ReadNumberOperand(program.initial[i], tag);
      slot.numberKnown = true;
      slot.exact = tag == Tag::Par || ReadDecimalNumber(program.initial[i]) == slot.number.value;
    } catch (const std::exception&) {
      // read again, and failing, where a rule meets it
    }
  }
  return slots;
}

// The digits of the text a float field gives, without writing the text: a value of at most 15
// significant digits written without exponent (from 0.0001 to below 1E15) is the double nearest
// to the decimal m / 10^k of its fewest decimals k, which is then exactly the text, as a double
// is within a tenth of the 15th digit's half of the decimal it is nearest to. Nothing for other
// values.
std::optional<host::GeneralDigits> ShortDecimal(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  if (value == 0) return host::GeneralDigits{};  // written "0", read back without its sign
  constexpr int kMostDecimals = 19;              // 15 digits from the fourth decimal on
  constexpr double kDigitsLimit = 1e15;          // 15 significant digits
  const double magnitude = std::fabs(value);
  if (magnitude >= kDigitsLimit || magnitude < 1e-5) return std::nullopt;
  double scale = 1;
  for (int k = 0; k <= kMostDecimals; ++k, scale *= 10) {
    const double digits = std::nearbyint(magnitude * scale);
    if (digits >= kDigitsLimit) return std::nullopt;
    if (digits / scale != magnitude) continue;
    if (digits * 1e4 < scale) return std::nullopt;  // below 0.0001: written with an exponent
    return host::GeneralDigits::Of(value < 0, static_cast<std::uint64_t>(digits), -k);
  }
  return std::nullopt;
}

// The value the calculator reads from a field, in the slot: a whole number as the number, a
// float as the number when its text is known to read back as it, a stored text where it is.
void LoadField(ReplaySlot& slot, const tables::TField& field, Tag tag) {
  const tables::Value& value = field.GetValue();
  if (tag == Tag::ParR && value.kind() == tables::Value::Kind::Float) {
    if (const std::optional<host::GeneralDigits> digits = ShortDecimal(value.number())) {
      slot.SetDigits(*digits, tag, value.number() == 0 ? 0.0 : value.number());
      return;
    }
  }
  if (tag == Tag::Par && value.kind() == tables::Value::Kind::Integer &&
      value.integer() >= std::numeric_limits<std::int32_t>::min() &&
      value.integer() <= std::numeric_limits<std::int32_t>::max()) {
    slot.SetWhole(static_cast<std::int32_t>(value.integer()));
  } else if (tag == Tag::Str && value.kind() == tables::Value::Kind::Text) {
    slot.SetView(value.text());
  } else if (tag == Tag::Str && value.isNull()) {
    slot.SetView({});
  } else {
    slot.SetOwned(FieldText(field, tag));
  }
}

// A number rule's value in the result slot; a rounding whose digits are found without writing
// them keeps them, with the number its text reads as.
void PutNumberRuleValue(const NumberRuleValue& computed, ReplaySlot& result) {
  switch (computed.kind) {
    case NumberRuleValue::Kind::Whole:
      result.SetWhole(computed.whole);
      return;
    case NumberRuleValue::Kind::Rounded:
      if (const std::optional<host::GeneralDigits> digits =
              RoundedDigits(computed.decimals, computed.rounded)) {
        result.SetDigits(*digits, computed.tag, digits->Value());
      } else {
        result.SetOwned(NumberRuleText(computed));
      }
      return;
    case NumberRuleValue::Kind::Logical:
      result.SetView(computed.holds ? "T" : "F");
      return;
  }
}

// A direct call's value in its result slot, and its tag; nothing when an argument's number has
// not been read (the built-in function then reads it, and raises what it raises) or a rounding's
// digits need its text.
std::optional<Tag> CallDirectly(const ReplayStep& step, std::vector<ReplaySlot>& slots) {
  if (step.direct == DirectCall::None) return std::nullopt;
  ReplaySlot& result = slots[step.result];
  const auto argument = [&](std::size_t j) -> ReplaySlot& { return slots[step.operands[j]]; };
  const auto read = [&](std::size_t j) { return argument(j).exact; };
  const auto whole = [&](std::size_t j) { return WholeValue(argument(j).number); };
  switch (step.direct) {
    case DirectCall::Round: {
      if (!read(0) || (step.arguments == 2 && !read(1))) return std::nullopt;
      const int decimals = step.arguments == 2 ? whole(1) : 0;
      const std::optional<host::GeneralDigits> digits =
          RoundedDigits(decimals, argument(0).number.value);
      if (!digits) return std::nullopt;
      const Tag tag = step.arguments == 2 ? Tag::ParR : Tag::Par;
      result.SetDigits(*digits, tag, digits->Value());
      return tag;
    }
    case DirectCall::SubStr:
      if (!read(1) || !read(2)) return std::nullopt;
      result.SetView(SubStr(argument(0).Text(), whole(1), whole(2)));
      break;
    case DirectCall::Left:
      if (!read(1)) return std::nullopt;
      result.SetView(SubStr(argument(0).Text(), 1, whole(1)));
      break;
    case DirectCall::Right:
      if (!read(1)) return std::nullopt;
      result.SetView(Right(argument(0).Text(), whole(1)));
      break;
    case DirectCall::Trim:
      result.SetView(TrimText(argument(0).Text()));
      break;
    case DirectCall::TrimLeft:
      result.SetView(TrimLeftText(argument(0).Text()));
      break;
    case DirectCall::TrimRight:
      result.SetView(TrimRightText(argument(0).Text()));
      break;
    case DirectCall::Str:
      result.SetView(argument(0).Text());
      break;
    case DirectCall::None:
      return std::nullopt;
  }
  return Tag::Str;
}

// A result as the number a field of the target reads from its text, where the slot holds that
// number: a whole number for every number field, the digits of a decimal for fields that take
// decimals when its text reads back with the host's separator. False for other results.
bool NumberForTarget(const ReplaySlot& slot, ValueTarget target, bool readsBack,
                     tables::Value& number) {
  if (target == ValueTarget::Text) return false;
  if (slot.form == ReplaySlot::Form::Whole) {
    number = tables::Value::Integer(WholeValue(slot.number));
    return true;
  }
  if (slot.form != ReplaySlot::Form::Digits) return false;
  const host::GeneralDigits& digits = slot.digits;
  if (digits.count - 1 - digits.exponent <= 0) {  // written without a point
    number = target == ValueTarget::WholeNumber
                 ? tables::Value::Integer(static_cast<std::int64_t>(digits.Value()))
                 : tables::Value::Float(digits.ReadValue());
    return true;
  }
  if (target != ValueTarget::Number || !readsBack) return false;
  number = tables::Value::Float(digits.ReadValue());
  return true;
}

}  // namespace

CompiledFormula::CompiledFormula(TokenList tokens, TypeList types)
    : tokens_(std::move(tokens)), types_(std::move(types)) {}
CompiledFormula::~CompiledFormula() = default;
CompiledFormula::CompiledFormula(CompiledFormula&&) noexcept = default;
CompiledFormula& CompiledFormula::operator=(CompiledFormula&&) noexcept = default;

FormulaValue CompiledFormula::Calculate(tables::TTable* recordSource, const NamedWindow* window) {
  FormulaValue value;
  tables::Value unused;
  Evaluate(recordSource, window, ValueTarget::Text, value, unused);
  return value;
}

void CompiledFormula::CalculateValue(tables::TTable* recordSource, const NamedWindow* window,
                                     ValueTarget target, tables::Value& value) {
  // A number is put in value at once; a text is kept in text_ until the value is known to be one.
  if (!Evaluate(recordSource, window, target, text_, value)) value.setText(text_);
}

bool CompiledFormula::Evaluate(tables::TTable* recordSource, const NamedWindow* window,
                               ValueTarget target, FormulaValue& value, tables::Value& number) {
  if (program_ != nullptr) {
    if (const std::optional<bool> gaveNumber =
            Replay(recordSource, window, target, value, number)) {
      lastPath_ = Path::Replayed;
      return *gaveNumber;
    }
  }
  if (!replayable_) {
    value = CalculateFormula(tokens_, types_, recordSource, window);
    lastPath_ = Path::Calculator;
    lastTag_ = ValueTag();
    return false;
  }
  // First calculation, or the record took other steps than the watched one: watch this one.
  program_.reset();
  Recorder recorder;
  value = CalculateRecorded(tokens_, types_, recordSource, window, recorder);
  program_ = recorder.Finish(recordSource, WorkTokens().size());
  if (program_ == nullptr) {
    replayable_ = false;
  } else {
    slots_ = InitialSlots(*program_);
  }
  lastPath_ = Path::Recorded;
  lastTag_ = ValueTag();
  return false;
}

std::optional<bool> CompiledFormula::Replay(tables::TTable* recordSource, const NamedWindow* window,
                                            ValueTarget target, FormulaValue& value,
                                            tables::Value& number) {
  const ReplayProgram& program = *program_;
  if (recordSource != program.source) return std::nullopt;
  const host::CalculationSeparatorScope separator;
  for (std::size_t f = 0; f < program.fields.size(); ++f) {
    const auto [slot, index] = program.fields[f];
    try {
      LoadField(slots_[slot], recordSource->Fields(index), program.fieldTags[f]);
    } catch (const std::exception&) {
      return std::nullopt;  // the calculator reads such a name as its own text
    }
  }
  const CalculationContext context{recordSource, window};
  for (const ReplayStep& step : program.steps) {
    ReplaySlot& result = slots_[step.result];
    Tag tag = Tag::Empty;
    if (step.isCall) {
      if (const std::optional<Tag> direct = CallDirectly(step, slots_)) {
        tag = *direct;
      } else {
        std::array<Operand, kMaxCallArguments> args;
        for (std::size_t j = 0; j < step.arguments; ++j)
          args[j] = Operand{slots_[step.operands[j]].Text(), step.operandTags[j]};
        std::optional<CallResult> called = CallBuiltin(
            *step.function, std::span<const Operand>(args.data(), step.arguments), context);
        if (!called) return std::nullopt;
        tag = called->tag;
        result.SetOwned(std::move(called->text));
      }
    } else if (step.numberRule) {
      // Left before right, as the calculator reads them.
      const NumberOperand left = slots_[step.operands[0]].Number(step.operandTags[0]);
      const NumberOperand right = slots_[step.operands[2]].Number(step.operandTags[2]);
      const NumberRuleValue computed =
          ApplyNumberRule(step.rule, step.operandTags[0],
                          Operand{slots_[step.operands[1]].Text(), step.operandTags[1]},
                          step.operandTags[2], left, right);
      tag = computed.tag;
      PutNumberRuleValue(computed, result);
    } else if (step.rule == OperatorRule::Concatenation) {
      const std::string_view left = slots_[step.operands[0]].Text();
      const std::string_view right = slots_[step.operands[2]].Text();
      result.Owned().assign(left).append(right);
      tag = Tag::Str;
    } else {
      CallResult computed = ApplyOperatorRule(
          step.rule, Operand{slots_[step.operands[0]].Text(), step.operandTags[0]},
          Operand{slots_[step.operands[1]].Text(), step.operandTags[1]},
          Operand{slots_[step.operands[2]].Text(), step.operandTags[2]});
      tag = computed.tag;
      result.SetOwned(std::move(computed.text));
    }
    if (tag == Tag::Str && step.afterComma) tag = Tag::ParStr;
    if (tag != step.tag) return std::nullopt;
  }
  if (program.remaining.size() == 1) {
    lastTag_ = program.remainingTags.front();
    ReplaySlot& last = slots_[program.remaining.front()];
    if (NumberForTarget(last, target, separator.ReadsBack(), number)) return true;
    if (last.form == ReplaySlot::Form::Digits) {
      // Written at once with the host's separator, which is what the value shows.
      std::array<char, host::kGeneralTextLimit> buffer;
      const char* end = host::WriteGeneral(last.digits, separator.HostSeparator(), buffer.data());
      value.assign(buffer.data(), static_cast<std::size_t>(end - buffer.data()));
      return false;
    }
    AssignTokenValue(value, last.Text(), lastTag_, separator.HostSeparator());
    return false;
  }
  lastTag_ = Tag::Empty;
  if (program.remaining.empty()) {
    value.clear();
    return false;
  }
  TokenList left;
  for (const Slot slot : program.remaining)
    left.push_back(std::string(slots_[slot].Text()));
  value = UnreducedValue(left);
  return false;
}

}  // namespace nox::formula

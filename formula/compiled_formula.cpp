#include "formula/compiled_formula.h"

#include <array>
#include <cstddef>
#include <limits>
#include <optional>
#include <span>
#include <utility>

#include "formula/calculator.h"
#include "formula/function_library.h"
#include "host/host_formats.h"
#include "tables/table.h"

namespace nox::formula {

namespace {

using Slot = std::uint16_t;
constexpr std::size_t kMaxSlots = std::numeric_limits<Slot>::max();
constexpr std::size_t kMaxCallArguments = 5;

struct ReplayStep {
  bool isCall = false;
  OperatorRule rule = OperatorRule::Parentheses;
  std::uint8_t arguments = 0;
  bool afterComma = false;  // a text result becomes "ParStr"
  Tag tag = Tag::Empty;     // the tag the watched calculation got
  Slot result = 0;
  std::array<Slot, kMaxCallArguments> operands{};  // a rule's: left, operator, right
  std::array<Tag, kMaxCallArguments> operandTags{};
  std::string name;  // a call's function, upper case
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

}  // namespace

struct ReplayProgram {
  const tables::TTable* source = nullptr;
  std::vector<std::string> initial;          // every slot's text after field resolution
  std::vector<std::pair<Slot, int>> fields;  // slot, field index of the record source
  std::vector<Tag> fieldTags;
  std::vector<Slot> rewritten;  // literal slots that steps overwrite: restored before a replay
  std::vector<ReplayStep> steps;
  std::vector<Slot> remaining;  // the slots left at the end, in list order
  std::vector<Tag> remainingTags;
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
    step.name = UpperName(program_.initial[slotAt_[at]]);
    if (CallsNestedFormulas(step.name)) replayable_ = false;
    for (std::size_t j = 0; j < arguments; ++j) {
      step.operands[j] = slotAt_[at + 2 + 2 * j];
      step.operandTags[j] = tags_[at + 2 + 2 * j];
    }
    End(std::move(step), at, 2 * arguments + 2);
  }

  void Rewrote(std::size_t at, OperatorRule rule, Tag tag) override {
    if (!replayable_) return;
    ReplayStep step = Begin(at, tag);
    step.rule = rule;
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
    std::vector<bool> isField(program_.initial.size(), false);
    for (const auto& [slot, index] : program_.fields)
      isField[slot] = true;
    std::vector<bool> listed(program_.initial.size(), false);
    for (const ReplayStep& step : program_.steps) {
      if (isField[step.result] || listed[step.result]) continue;
      listed[step.result] = true;
      program_.rewritten.push_back(step.result);
    }
    return std::make_unique<ReplayProgram>(std::move(program_));
  }

 private:
  ReplayStep Begin(std::size_t at, Tag tag) const {
    ReplayStep step;
    step.tag = tag;
    step.result = slotAt_[at];
    step.afterComma = at > 0 && tags_[at - 1] == Tag::Comma;
    return step;
  }

  void End(ReplayStep step, std::size_t at, std::size_t width) {
    const auto first = static_cast<std::ptrdiff_t>(at) + 1;
    const auto last = static_cast<std::ptrdiff_t>(at + width);
    slotAt_.erase(slotAt_.begin() + first, slotAt_.begin() + last);
    tags_.erase(tags_.begin() + first, tags_.begin() + last);
    tags_[at] = step.tag;
    program_.steps.push_back(std::move(step));
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

}  // namespace

CompiledFormula::CompiledFormula(TokenList tokens, TypeList types)
    : tokens_(std::move(tokens)), types_(std::move(types)) {}
CompiledFormula::~CompiledFormula() = default;
CompiledFormula::CompiledFormula(CompiledFormula&&) noexcept = default;
CompiledFormula& CompiledFormula::operator=(CompiledFormula&&) noexcept = default;

FormulaValue CompiledFormula::Calculate(tables::TTable* recordSource, const NamedWindow* window) {
  FormulaValue value;
  if (program_ != nullptr && Replay(recordSource, window, value)) {
    lastPath_ = Path::Replayed;
    return value;
  }
  if (!replayable_) {
    value = CalculateFormula(tokens_, types_, recordSource, window);
    lastPath_ = Path::Calculator;
    lastTag_ = ValueTag();
    return value;
  }
  // First calculation, or the record took other steps than the watched one: watch this one.
  program_.reset();
  Recorder recorder;
  value = CalculateRecorded(tokens_, types_, recordSource, window, recorder);
  program_ = recorder.Finish(recordSource, WorkTokens().size());
  if (program_ == nullptr) {
    replayable_ = false;
  } else {
    slots_ = program_->initial;
  }
  lastPath_ = Path::Recorded;
  lastTag_ = ValueTag();
  return value;
}

bool CompiledFormula::Replay(tables::TTable* recordSource, const NamedWindow* window,
                             FormulaValue& value) {
  const ReplayProgram& program = *program_;
  if (recordSource != program.source) return false;
  const host::CalculationSeparatorScope separator;
  for (const Slot slot : program.rewritten)
    slots_[slot] = program.initial[slot];
  for (std::size_t f = 0; f < program.fields.size(); ++f) {
    const auto [slot, index] = program.fields[f];
    try {
      slots_[slot] = FieldText(recordSource->Fields(index), program.fieldTags[f]);
    } catch (const std::exception&) {
      return false;  // the calculator reads such a name as its own text
    }
  }
  const CalculationContext context{recordSource, window};
  std::array<Operand, kMaxCallArguments> args{};
  for (const ReplayStep& step : program.steps) {
    CallResult result;
    if (step.isCall) {
      for (std::size_t j = 0; j < step.arguments; ++j)
        args[j] = Operand{slots_[step.operands[j]], step.operandTags[j]};
      std::optional<CallResult> called =
          CallBuiltin(step.name, std::span<const Operand>(args.data(), step.arguments), context);
      if (!called) return false;
      result = std::move(*called);
    } else {
      result = ApplyOperatorRule(step.rule, Operand{slots_[step.operands[0]], step.operandTags[0]},
                                 Operand{slots_[step.operands[1]], step.operandTags[1]},
                                 Operand{slots_[step.operands[2]], step.operandTags[2]});
    }
    const Tag tag = result.tag == Tag::Str && step.afterComma ? Tag::ParStr : result.tag;
    if (tag != step.tag) return false;
    slots_[step.result] = std::move(result.text);
  }
  if (program.remaining.size() == 1) {
    lastTag_ = program.remainingTags.front();
    value = TokenValue(slots_[program.remaining.front()], lastTag_, separator.HostSeparator());
    return true;
  }
  lastTag_ = Tag::Empty;
  if (program.remaining.empty()) {
    value.clear();
    return true;
  }
  TokenList left;
  for (const Slot slot : program.remaining)
    left.push_back(slots_[slot]);
  value = UnreducedValue(left);
  return true;
}

}  // namespace nox::formula

#pragma once
// The calculator's inner workings that tests and tools may watch: the cycle limit and an observer
// that sees the working lists after every pass that rewrote them.

#include <functional>

#include "formula/formula.h"

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

// CalculateFormula with an observer (may be empty).
FormulaValue CalculateObserved(const TokenList& tokens, const TypeList& types,
                               tables::TTable* recordSource, const NamedWindow* window,
                               const ReductionObserver& observer);

}  // namespace nox::formula

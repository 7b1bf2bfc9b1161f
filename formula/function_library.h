#pragma once
// The built-in functions as the calculator calls them: a call is rewritten only when every
// argument is a single token whose tag fits one of the function's signatures.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "formula/tags.h"

namespace nox::tables {
class TTable;
}

namespace nox::formula {

class NamedWindow;

struct Operand {
  std::string_view text;
  Tag tag;
};

struct CallResult {
  std::string text;
  Tag tag;
};

// What a function may need of the calculation that calls it.
struct CalculationContext {
  tables::TTable* recordSource = nullptr;
  const NamedWindow* window = nullptr;
};

// The 50 function names the translator knows, upper case.
std::span<const std::string_view> BuiltinFunctionNames();

// Applies the function (name in upper case) to the arguments; nothing when no signature fits, in
// which case the call waits. Errors that end a calculation are raised as FormulaError.
std::optional<CallResult> CallBuiltin(std::string_view upperName, std::span<const Operand> args,
                                      const CalculationContext& context);

// A built-in function found once by its name (upper case), for calls made again and again;
// nothing for a name that is none.
struct BuiltinFunction;
const BuiltinFunction* FindBuiltin(std::string_view upperName);
std::optional<CallResult> CallBuiltin(const BuiltinFunction& function,
                                      std::span<const Operand> args,
                                      const CalculationContext& context);

}  // namespace nox::formula

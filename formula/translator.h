#pragma once
// What the translator consults besides the formula text.

#include <string>
#include <vector>

#include "formula/formula.h"

namespace nox::formula {

// The process-wide list of extra functions as name=value entries. A token naming one of them is
// tagged "FuncX". Nothing in the program adds entries; the list exists for callers that do.
std::vector<std::string>& ExtraFunctionList();

// The lists as the formula wizard shows them: token:tag pairs separated by single spaces.
std::string TokenTagPairs(const TokenList& tokens, const TypeList& types);

}  // namespace nox::formula

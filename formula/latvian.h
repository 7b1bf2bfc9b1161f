#pragma once
// Conversion of the 21 Latvian letters between Windows-1257 and the DOS codes of older tables.

#include <string>
#include <string_view>

#include "tables/value.h"

namespace nox::formula {

std::string LatvianDosToWin(std::string_view text);
std::string LatvianWinToDos(std::string_view text);

// On field values: a text is converted, every other value passes unchanged.
tables::Value LatvianDosToWin(const tables::Value& value);
tables::Value LatvianWinToDos(const tables::Value& value);

}  // namespace nox::formula

#pragma once
// noxconv --eval: the value of a formula, against the first record of a table or none.

#include <iosfwd>
#include <string>
#include <vector>

namespace nox::cli {

// The arguments after "--eval": FORMULA [--source TABLE] [--trace]. The formula is read as UTF-8
// and evaluated in Windows-1257; the value is printed as UTF-8. "--trace" also prints the
// translated lists and the reduced ones as token:tag pairs. Gives the exit status: 0, 1 when the
// formula fails ("!!!ERROR!!!" or an error that ends the calculation), 2 for bad arguments.
int RunEval(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace nox::cli

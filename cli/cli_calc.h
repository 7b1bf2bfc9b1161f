#pragma once
// noxconv --calc: the pocket calculator's logic fed from the command line.

#include <iosfwd>
#include <string>
#include <vector>

namespace nox::cli {

// The arguments after "--calc": KEYS [--memory]. The characters of KEYS are typed into the
// calculator as its keyboard maps them; {BS}, {ENTER}, {ESC} and {DEL} stand for Backspace, Enter,
// Esc and Del. Prints the main display (with its sign column) on one line and, with --memory, the
// memory on a second. Gives the exit status: 0; 1 when an operation fails or the display shows
// the formula language's error; 2 for bad arguments.
int RunCalc(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace nox::cli

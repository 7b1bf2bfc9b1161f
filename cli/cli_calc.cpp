#include "cli/cli_calc.h"

#include <ostream>
#include <stdexcept>

#include "calc/calc_logic.h"

namespace nox::cli {

int RunCalc(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty() || args.size() > 2 || (args.size() == 2 && args[1] != "--memory")) {
    err << "noxconv: --calc needs KEYS, optionally followed by --memory\n";
    return 2;
  }
  std::vector<calc::CalcCommand> commands;
  try {
    commands = calc::ParseKeys(args[0]);
  } catch (const std::invalid_argument& error) {
    err << "noxconv: --calc: " << error.what() << "\n";
    return 2;
  }
  calc::CalcLogic logic;
  try {
    for (calc::CalcCommand command : commands)
      logic.PressKey(command);
  } catch (const std::exception& error) {
    err << "noxconv: --calc: " << error.what() << "\n";
    return 1;
  }
  out << logic.Display() << "\n";
  if (args.size() == 2) out << logic.MemoryText() << "\n";
  return logic.Display().find("!!!") == std::string::npos ? 0 : 1;
}

}  // namespace nox::cli

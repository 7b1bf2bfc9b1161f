// noxconv: the command-line program. Inspects tables, evaluates formulas and (later) runs
// conversion descriptions without any window.

#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli_eval.h"
#include "app/cli_tables.h"
#include "host/host_formats.h"

namespace {

constexpr std::string_view kUsage =
    "Usage:\n"
    "  noxconv --help | --version\n"
    "  noxconv --info TABLE        structure, key and record count of a .db/.dbf table\n"
    "  noxconv --dump TABLE        records of a table as CSV, in index order\n"
    "  noxconv --eval FORMULA [--source TABLE] [--trace]\n"
    "                              value of a formula against the first record of TABLE;\n"
    "                              --trace prints the translated and reduced token lists\n";

int Usage(std::ostream& out, int status) {
  out << kUsage;
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  try {
    nox::host::HostFormats::LoadFromEnvironment();
  } catch (const std::exception& error) {
    std::cerr << "noxconv: " << error.what() << "\n";
    return 2;
  }
  if (args.empty()) return Usage(std::cerr, 2);
  const std::string& command = args[0];
  if (command == "--help") return Usage(std::cout, 0);
  if (command == "--version") {
    std::cout << "noxconv 0.1 (NOX Base Convertation)\n";
    return 0;
  }
  if (command == "--info" || command == "--dump") {
    if (args.size() != 2) return Usage(std::cerr, 2);
    return command == "--info" ? nox::app::RunTableInfo(args[1], std::cout, std::cerr)
                               : nox::app::RunTableDump(args[1], std::cout, std::cerr);
  }
  if (command == "--eval") {
    return nox::app::RunEval(std::vector<std::string>(args.begin() + 1, args.end()), std::cout,
                             std::cerr);
  }
  std::cerr << "noxconv: unknown command '" << command << "'\n";
  return Usage(std::cerr, 2);
}

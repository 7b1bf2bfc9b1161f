// noxconv: the command-line program. Runs conversion descriptions without any window, inspects
// tables, evaluates formulas and runs the calculator's keys.

#include <unistd.h>

#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_calc.h"
#include "cli/cli_eval.h"
#include "cli/cli_run.h"
#include "cli/cli_tables.h"
#include "host/host_formats.h"

namespace {

constexpr std::string_view kUsage =
    "Usage:\n"
    "  noxconv [FORMAT OPTIONS] DESCRIPTION [AUTO] [DDE]\n"
    "                              runs a conversion description (.cnv) unattended; with DDE\n"
    "                              the progress goes to the calling program's link service\n"
    "                              exit status: 0 complete, 2 usage, 3 bad description,\n"
    "                              4 a table cannot be opened or written,\n"
    "                              5 cancelled (Ctrl+C), 6 the run failed, 1 internal error\n"
    "  noxconv --help | --version\n"
    "  noxconv --info TABLE        structure, key and record count of a .db/.dbf table\n"
    "  noxconv --dump [--raw] TABLE\n"
    "                              records of a table as CSV, in index order; texts as UTF-8,\n"
    "                              with --raw as the bytes stored\n"
    "  noxconv --eval FORMULA [--source TABLE] [--trace]\n"
    "                              value of a formula against the first record of TABLE;\n"
    "                              --trace prints the translated and reduced token lists\n"
    "  noxconv --calc KEYS [--memory]\n"
    "                              the calculator's display after typing KEYS ({BS}, {ENTER},\n"
    "                              {ESC}, {DEL} name those keys); --memory adds the memory\n"
    "Format options (before the command; they override the locale and NOX_DATE_FORMAT,\n"
    "NOX_DECIMAL_SEPARATOR):\n"
    "  --date-format PATTERN       the host's short date format, e.g. dd.mm.yyyy or m/d/yy\n"
    "  --decimal-separator C       the host's decimal separator, one character\n";

int Usage(std::ostream& out, int status) {
  out << kUsage;
  return status;
}

// Applies the format options at the front of the arguments and removes them. Gives false (after
// the message) for a missing or bad value.
bool TakeFormatOptions(std::vector<std::string>& args) {
  std::size_t used = 0;
  while (used < args.size() &&
         (args[used] == "--date-format" || args[used] == "--decimal-separator")) {
    if (used + 1 >= args.size()) {
      std::cerr << "noxconv: " << args[used] << " needs a value\n";
      return false;
    }
    const std::string& value = args[used + 1];
    if (args[used] == "--date-format") {
      nox::host::HostFormats::SetShortDateFormat(nox::host::DateFormat::Parse(value));
    } else if (value.size() == 1) {
      nox::host::HostFormats::SetDecimalSeparator(value[0]);
    } else {
      std::cerr << "noxconv: the decimal separator must be one character, not '" << value << "'\n";
      return false;
    }
    used += 2;
  }
  args.erase(args.begin(), args.begin() + static_cast<std::ptrdiff_t>(used));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    nox::host::HostFormats::LoadFromEnvironment();
    if (!TakeFormatOptions(args)) return Usage(std::cerr, 2);
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
  if (command == "--info") {
    if (args.size() != 2) return Usage(std::cerr, 2);
    return nox::cli::RunTableInfo(args[1], std::cout, std::cerr);
  }
  if (command == "--dump") {
    const bool raw = args.size() == 3 && args[1] == "--raw";
    if (args.size() != (raw ? 3u : 2u)) return Usage(std::cerr, 2);
    return nox::cli::RunTableDump(args.back(), raw, std::cout, std::cerr);
  }
  if (command == "--eval") {
    return nox::cli::RunEval(std::vector<std::string>(args.begin() + 1, args.end()), std::cout,
                             std::cerr);
  }
  if (command == "--calc") {
    return nox::cli::RunCalc(std::vector<std::string>(args.begin() + 1, args.end()), std::cout,
                             std::cerr);
  }
  if (!command.starts_with("--")) {
    nox::cli::RunOptions options;
    options.progress = ::isatty(STDERR_FILENO) != 0;
    return nox::cli::RunDescription(args, options, std::cout, std::cerr);
  }
  std::cerr << "noxconv: unknown command '" << command << "'\n";
  return Usage(std::cerr, 2);
}

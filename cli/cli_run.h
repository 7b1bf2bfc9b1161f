#pragma once
// noxconv DESCRIPTION [MODE] [DDE]: runs a conversion description unattended, without any window,
// as the desktop program's automatic run does: the same messages, the same link messages in the
// same order (the two ": Program destroy." messages included), the same records in the target.

#include <iosfwd>
#include <string>
#include <vector>

namespace nox::cli {

// The exit statuses of a run, stable for scripts.
enum RunStatus : int {
  kRunComplete = 0,
  kRunInternalError = 1,  // an error nobody expected (a fault of the program)
  kRunUsage = 2,
  kRunBadDescription =
      3,                 // the description cannot be read or is malformed, or names unknown fields
  kRunMissingTable = 4,  // a table cannot be opened or written (read-only, locked, named twice)
  kRunCancelled = 5,     // interrupted (Ctrl+C): the current batch was finished first
  kRunFailed = 6,  // the run could not start, a record could not be filled or stored, or a table
                   // could not be written
};

// Options of the runner besides the positional arguments.
struct RunOptions {
  // Draw a one-line progress bar on `err` (the caller sets it when standard error is a terminal).
  bool progress = false;
};

// The positional arguments as given: the description path, then optionally the mode ("AUTO"; the
// interactive modes need the desktop program) and "DDE" (compared without regard to case; further
// arguments are ignored). Errors and the progress bar go to `err`; the final summary
// ("Source records: N, target records: M, key violations: K") to `out`. Ctrl+C (SIGINT) cancels
// after the current batch. Gives a RunStatus.
int RunDescription(const std::vector<std::string>& args, const RunOptions& options,
                   std::ostream& out, std::ostream& err);

}  // namespace nox::cli

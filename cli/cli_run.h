#pragma once
// noxconv DESCRIPTION [MODE] [DDE]: runs a conversion description unattended, without any window,
// as the desktop program's automatic run does: the same messages, the same link messages in the
// same order (the two ": Program destroy." messages included), the same records in the target.

#include <iosfwd>
#include <string>
#include <vector>

#include "convert/run_status.h"

namespace nox::cli {

// Options of the runner besides the positional arguments.
struct RunOptions {
  // Draw a one-line progress bar on `err` (the caller sets it when standard error is a terminal).
  bool progress = false;
};

// The positional arguments as given: the description path, then optionally the mode ("AUTO"; the
// interactive modes need the desktop program) and "DDE" (compared without regard to case; further
// arguments are ignored). Errors and the progress bar go to `err`; the final summary
// ("Source records: N, target records: M, key violations: K") to `out`. Ctrl+C (SIGINT) cancels
// after the current batch. Gives a convert::RunStatus.
int RunDescription(const std::vector<std::string>& args, const RunOptions& options,
                   std::ostream& out, std::ostream& err);

}  // namespace nox::cli

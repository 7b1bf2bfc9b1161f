#pragma once
// How an unattended run ended, as an exit status: the command-line runner and the desktop
// program's automatic run give the same statuses for the same outcome.

namespace nox::convert {

class ConversionRun;
class Workspace;

// The exit statuses of a run, stable for scripts.
enum RunStatus : int {
  kRunComplete = 0,
  kRunInternalError = 1,  // an error nobody expected (a fault of the program)
  kRunUsage = 2,
  kRunBadDescription =
      3,                 // the description cannot be read or is malformed, or names unknown fields
  kRunMissingTable = 4,  // a table cannot be opened or written (read-only, locked, named twice)
  kRunCancelled = 5,     // interrupted: the current batch was finished first
  kRunFailed = 6,  // the run could not start, a record could not be filled or stored, or a table
                   // could not be written
};

// Why a load sequence failed (LoadOk false): a table that cannot be opened, or the description.
RunStatus LoadFailure(const Workspace& workspace);

// The status of a run that has ended: complete, cancelled or failed.
RunStatus EndedRunStatus(const ConversionRun& run);

}  // namespace nox::convert

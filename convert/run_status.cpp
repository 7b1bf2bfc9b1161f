#include "convert/run_status.h"

#include "convert/conversion_run.h"
#include "convert/workspace.h"

namespace nox::convert {

RunStatus LoadFailure(const Workspace& workspace) {
  const bool filesNamed = workspace.CFile.Value(DescriptionLine::Source).has_value() &&
                          workspace.CFile.Value(DescriptionLine::Target).has_value();
  const bool tablesOpen = workspace.TableSource.Active() && workspace.TableTarget.Active();
  return filesNamed && !tablesOpen ? kRunMissingTable : kRunBadDescription;
}

RunStatus EndedRunStatus(const ConversionRun& run) {
  switch (run.State()) {
    case RunState::Complete:
      return kRunComplete;
    case RunState::Cancelled:
      return kRunCancelled;
    default:  // the run showed the error
      return run.Failure() == RunFailure::TableUnavailable ? kRunMissingTable : kRunFailed;
  }
}

}  // namespace nox::convert

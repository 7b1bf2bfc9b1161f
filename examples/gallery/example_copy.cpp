#include "examples/gallery/example_copy.h"

#include <stdexcept>
#include <string>
#include <system_error>

#include "convert/conversion_run.h"
#include "convert/workspace.h"
#include "formula/named_window.h"

namespace nox::gallery {

namespace fs = std::filesystem;

const std::vector<fs::path>& ExampleFiles() {
  static const std::vector<fs::path> files = {"CUSTOMER.DBF", "ORDERS.DB",  "CLIENTS.DB",
                                              "CLIENTS.PX",   "ORDSUM.DBF", "customers.cnv",
                                              "orders.cnv",   "NOTES.MNU",  "TAGS.MNU"};
  return files;
}

std::optional<fs::path> FindExampleDirectory(const fs::path& programFile) {
  const fs::path programDir = programFile.parent_path();
  for (const fs::path& dir :
       {fs::current_path(), programDir,
        (programDir / ".." / "share" / "nox" / "examples").lexically_normal()}) {
    std::error_code error;
    bool complete = true;
    for (const fs::path& file : ExampleFiles())
      complete = complete && fs::is_regular_file(dir / file, error);
    if (complete) return dir;
  }
  return std::nullopt;
}

namespace {

// Runs one description of the current directory to its end, as noxconv does, and closes its
// tables so that they are on disk before the gallery opens them.
void Convert(const std::string& description) {
  convert::Workspace workspace;
  workspace.AutoRun = true;
  formula::TableWindow mainForm("MainForm", {&workspace.TableSource, &workspace.TableTarget,
                                             &workspace.TableKeyViol, &workspace.TablKursVal});
  if (!workspace.Load(description, true) || !workspace.LoadOk) {
    throw std::runtime_error("The example description " + description + " cannot be loaded");
  }
  convert::ConversionInputs inputs = convert::WorkspaceInputs(workspace);
  inputs.messageName = description;
  inputs.automatic = true;
  inputs.window = &mainForm;
  convert::ConversionRun run(inputs);
  run.Show();  // automatic: starts the run
  while (run.IsRunning())
    run.RunBatch();
  for (tables::TTable* table : {&workspace.TableTarget, &workspace.TableKeyViol,
                                &workspace.TableSource, &workspace.TablKursVal}) {
    table->Close();
  }
  if (run.State() != convert::RunState::Complete) {
    throw std::runtime_error("The example description " + description +
                             " did not run: " + run.LastError());
  }
}

}  // namespace

void PrepareWorkingCopy(const fs::path& example, const fs::path& work) {
  for (const fs::path& file : ExampleFiles()) {
    std::error_code error;
    fs::copy_file(example / file, work / file, fs::copy_options::overwrite_existing, error);
    if (error) {
      throw std::runtime_error("Cannot copy " + (example / file).string() + ": " + error.message());
    }
  }
  fs::current_path(work);
  Convert("customers.cnv");
  Convert("orders.cnv");
}

}  // namespace nox::gallery

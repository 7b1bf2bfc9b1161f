#include "cli/cli_run.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "convert/conversion_run.h"
#include "convert/run_status.h"
#include "convert/workspace.h"
#include "formula/named_window.h"
#include "host/messages.h"
#include "link/caller_link.h"
#include "tables/table.h"

namespace nox::cli {
namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) {
  interrupted = 1;
}

// Ctrl+C asks for a cancel for as long as a run lasts; the previous handler comes back after it.
class InterruptGuard {
 public:
  InterruptGuard() {
    interrupted = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &previous_);
  }
  ~InterruptGuard() { ::sigaction(SIGINT, &previous_, nullptr); }
  InterruptGuard(const InterruptGuard&) = delete;
  InterruptGuard& operator=(const InterruptGuard&) = delete;

 private:
  struct sigaction previous_ {};
};

// The one-line progress bar: "[#####.....] 12345/100000 12% ~3 min" (no minutes before the first
// estimate).
std::string ProgressLine(std::size_t processed, std::size_t total, const std::string& minutes,
                         int width = 30) {
  const std::size_t shown = std::min(processed, total);
  const std::size_t filled = total == 0 ? static_cast<std::size_t>(width)
                                        : shown * static_cast<std::size_t>(width) / total;
  std::string line = "[";
  line.append(filled, '#')
      .append(static_cast<std::size_t>(width) - filled, '.')
      .append("] ")
      .append(std::to_string(shown))
      .append("/")
      .append(std::to_string(total))
      .append(" ")
      .append(std::to_string(total == 0 ? 100 : shown * 100 / total))
      .append("%");
  if (!minutes.empty()) line.append(" ~").append(minutes).append(" min");
  return line;
}

// The terminal's progress line and the messages that must not be drawn over by it.
class Console : public host::MessageSink {
 public:
  Console(std::ostream& err, bool progress) : err_(err), progress_(progress) {
    previous_ = host::SetMessageSink(this);
  }
  ~Console() override {
    EndLine();
    host::SetMessageSink(previous_);
  }
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  void ShowMessage(host::MessageKind, std::string_view text) override {
    EndLine();
    err_ << host::TerminalText(text) << '\n' << std::flush;
  }
  void Note(std::string_view text) {
    EndLine();
    err_ << "noxconv: " << text << '\n' << std::flush;
  }

  // Redraws the bar at most ten times a second, and always when `force`.
  void Progress(const convert::ConversionRun& run, bool force) {
    if (!progress_) return;
    const auto now = std::chrono::steady_clock::now();
    if (!force && drawn_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    drawn_ = true;
    err_ << '\r'
         << ProgressLine(run.ProcessedCount(), run.SourceCount(),
                         run.TimeVisible() ? run.TimeText() : std::string())
         << std::flush;
  }

  void EndLine() {
    if (!drawn_) return;
    err_ << '\n' << std::flush;
    drawn_ = false;
  }

 private:
  std::ostream& err_;
  bool progress_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point lastDraw_;
  host::MessageSink* previous_ = nullptr;
};

// Passes the run's progress messages to the calling program.
class LinkObserver : public convert::ConversionObserver {
 public:
  LinkObserver(link::CallerConversations* link, std::string messageName)
      : link_(link), messageName_(std::move(messageName)) {}

  void Poke(std::string_view text) override {
    if (link_ == nullptr) return;
    // The run's messages already begin with the message name; the link adds it itself.
    if (text.starts_with(messageName_)) text.remove_prefix(messageName_.size());
    link_->Send(text);
  }

 private:
  link::CallerConversations* link_;
  std::string messageName_;
};

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return text;
}

std::string Summary(convert::Workspace& workspace, const convert::ConversionRun& run) {
  const std::size_t keyViolations =
      workspace.TableKeyViol.Active() ? workspace.TableKeyViol.QuickRecordCount() : 0;
  std::string text = "Source records: ";
  text.append(std::to_string(run.SourceCount()))
      .append(", target records: ")
      .append(std::to_string(workspace.TableTarget.QuickRecordCount()))
      .append(", key violations: ")
      .append(std::to_string(keyViolations));
  return text;
}

// Closes every table explicitly, so that a write error at the very end is reported here rather than
// lost in a destructor. Gives false when one failed.
bool CloseTables(convert::Workspace& workspace, Console& console) {
  bool closed = true;
  for (tables::TTable* table : {&workspace.TableTarget, &workspace.TableKeyViol,
                                &workspace.TableSource, &workspace.TablKursVal}) {
    try {
      table->Close();
    } catch (const std::exception& error) {
      console.ShowMessage(host::MessageKind::Error, error.what());
      closed = false;
    }
  }
  return closed;
}

// Runs the loaded description to its end; the tables stay open.
int RunLoaded(convert::Workspace& workspace, convert::ConversionRun& run, Console& console,
              link::CallerConversations* link, std::string& summary) {
  if (!run.Show())
    return convert::kRunBadDescription;  // automatic: a good description starts the run
  while (run.IsRunning()) {
    if (interrupted != 0) {
      run.Cancel();
      break;
    }
    run.RunBatch();
    if (link != nullptr) link->ProcessIncoming();
    console.Progress(run, false);
  }

  const convert::RunStatus status = convert::EndedRunStatus(run);
  if (status == convert::kRunComplete) {
    console.Progress(run, true);
    console.EndLine();
    summary = Summary(workspace, run);
  } else if (status == convert::kRunCancelled) {
    std::string note = "cancelled after ";
    note.append(std::to_string(run.ProcessedCount()))
        .append(" of ")
        .append(std::to_string(run.SourceCount()))
        .append(" records");
    console.Note(note);
    summary = Summary(workspace, run);
  }  // otherwise the run showed the error
  return status;
}

// Loads the description and runs it to its end. The link, when open, carries the run's messages.
int Convert(const std::string& descriptionPath, link::CallerConversations* link, Console& console,
            std::ostream& out) {
  convert::Workspace workspace;
  workspace.AutoRun = true;
  workspace.DdeLink = link != nullptr;
  if (link != nullptr) workspace.DdePathLines = link->PathLines();

  // Formulas reach the tables through these names, as they do in the desktop program.
  formula::TableWindow mainForm("MainForm", {&workspace.TableSource, &workspace.TableTarget,
                                             &workspace.TableKeyViol, &workspace.TablKursVal});
  formula::TableWindow formConvert("FormConvert", {});

  if (!workspace.Load(descriptionPath, true)) return convert::kRunBadDescription;
  if (!workspace.LoadOk) return convert::LoadFailure(workspace);

  convert::ConversionInputs inputs = convert::WorkspaceInputs(workspace);
  inputs.messageName = link::MessageName(descriptionPath);
  inputs.automatic = true;
  inputs.dde = link != nullptr;
  inputs.window = &mainForm;

  convert::ConversionRun run(inputs);
  LinkObserver observer(link, inputs.messageName);
  run.SetObserver(&observer);

  std::string summary;
  int status = RunLoaded(workspace, run, console, link, summary);
  // The summary counts records on disk: it is printed only once every table closed cleanly.
  if (!CloseTables(workspace, console) && status != convert::kRunMissingTable)
    status = convert::kRunFailed;
  if (!summary.empty() && status != convert::kRunFailed) out << summary << '\n' << std::flush;
  return status;
}

constexpr std::string_view kInteractiveNote =
    "the mode word must be AUTO: the interactive modes (NEW, or any other word) need the desktop "
    "program";

}  // namespace

int RunDescription(const std::vector<std::string>& args, const RunOptions& options,
                   std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << "noxconv: a description file is needed\n";
    return convert::kRunUsage;
  }
  // The mode word AUTO may be left out, also before DDE: "X.CNV DDE" is "X.CNV AUTO DDE".
  const bool modeOmitted = args.size() == 2 && Upper(args[1]) == "DDE";
  if (args.size() >= 2 && !modeOmitted && Upper(args[1]) != "AUTO") {
    err << "noxconv: " << kInteractiveNote << "\n";
    return convert::kRunUsage;
  }
  const bool dde = modeOmitted || (args.size() >= 3 && Upper(args[2]) == "DDE");

  InterruptGuard interruptGuard;
  Console console(err, options.progress);
  std::optional<link::CallerConversations> link;
  if (dde) {
    link.emplace(args[0]);
    link->Open();
  }

  int status = convert::kRunInternalError;
  try {
    status = Convert(args[0], link ? &*link : nullptr, console, out);
  } catch (const std::exception& error) {
    console.ShowMessage(host::MessageKind::Error, error.what());
    status = convert::kRunInternalError;
  }

  // The program ends: the close handler and the destroy handler each announce it.
  if (link) {
    link->Send(link::kProgramDestroySuffix);
    if (!link->Close()) console.ShowMessage(host::MessageKind::Warning, link::kFalseInLinkMessage);
  }
  return status;
}

}  // namespace nox::cli

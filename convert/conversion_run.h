#pragma once
// The conversion run without widgets: reads the description's files and options, starts a run
// (formulas translated once, filter, counts, clearing the target, the key-violation table),
// converts the source in batches of at most 50 records, and keeps everything the conversion window
// shows. Whoever drives it (the conversion window's timer, the command-line runner, tests) calls
// RunBatch while IsRunning() and watches it through a ConversionObserver.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "convert/description_file.h"
#include "tables/value.h"

namespace nox::convert {
class DescriptionText;
class Workspace;
}  // namespace nox::convert
namespace nox::formula {
class NamedWindow;
}
namespace nox::tables {
class TTable;
}

namespace nox::convert {

class KeyViolationCapture;

// One row of the relation list.
struct RunRelation {
  std::string source;   // a source field name, or "< Func >" for a formula relation
  std::string target;   // the target field name (unique among the rows)
  std::string formula;  // the formula text, or "<default>" for a field relation

  bool IsFormula() const { return formula != kDefaultFormula; }
};

// What the run takes from the workspace. The pointers must outlive the run; the callbacks are read
// at every Start, so edits made between two runs are seen (a run keeps what it read at its start).
struct ConversionInputs {
  const convert::DescriptionText* description = nullptr;  // read by Show
  std::function<std::vector<RunRelation>()> relations;
  std::function<std::string()> filter;      // an expression of the table engine; may be empty
  std::function<std::string()> packFields;  // target field names separated by ";"; may be empty
  tables::TTable* source = nullptr;         // open
  tables::TTable* target = nullptr;         // open
  tables::TTable* keyViolations = nullptr;  // closed until the first refusal, then kept open
  std::string targetDirectory;              // where the target table was opened
  // The text every progress message begins with: the file-name part of the description argument.
  std::string messageName;
  bool automatic = false;  // Show starts the run; completion reports ":Complete"
  bool dde = false;        // progress messages are poked
  // The window formulas name their tables through (may be null).
  const formula::NamedWindow* window = nullptr;
  // Milliseconds of a monotonic clock; empty means std::chrono::steady_clock.
  std::function<std::int64_t()> clock;
};

// The inputs of a run over a workspace: its description text, relation and formula lists, option
// displays and tables, the target directory where the target was opened. The caller sets the
// message name, the modes and the window.
ConversionInputs WorkspaceInputs(convert::Workspace& workspace);

// Failed: a record could not be filled or stored, the tables could not be written, or the run
// could not start; the error was shown through host::ShowMessage and Start() may be called again.
enum class RunState { Ready, Starting, Running, Complete, Cancelled, Failed };

// Why a run failed. TableUnavailable: a table cannot be written at all (read-only, locked by
// another program, one file named as two of the run's tables); the run stopped before its first
// record. Error: anything else (a faulty filter, a record that could not be filled or stored, a
// write error).
enum class RunFailure { None, TableUnavailable, Error };

enum class MessageColour { Black, Green, Red };
enum class BarColour { Navy, Red };

// The messages of the message line.
namespace run_messages {
inline constexpr std::string_view kClickConvert = "Click button Convert to start";
inline constexpr std::string_view kCountingRecords = "Calculate record count";
inline constexpr std::string_view kPassMinutes = "Pass approximaly (minutes)";
inline constexpr std::string_view kComplete = "Convertation complete";
inline constexpr std::string_view kTerminated = "Terminated by user ";
}  // namespace run_messages

class ConversionObserver {
 public:
  virtual ~ConversionObserver() = default;
  // The display changed: at the start, at a batch end, at a refusal, at completion, at a cancel
  // and when a run stops with an error.
  virtual void DisplayChanged() {}
  // A progress message for the calling application (DDE mode only).
  virtual void Poke(std::string_view /*text*/) {}
  // The run reached the end of the source (every completion); in automatic mode the driver
  // starts its close timer. Called before the ":Complete" message is poked.
  virtual void Completed() {}
};

// The parts of a table path as the conversion window shows them.
struct PathParts {
  std::string path;       // the directory with its final separator
  std::string name;       // the file name up to its first "."
  std::string extension;  // from the file name's last ".", the "." included
};
PathParts SplitTablePath(std::string_view fullPath);

// Whether two paths name one file (another spelling, a link): by device and inode. False when
// either does not exist.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// The run installs its post-error handlers on the target and the key-violation table when it is
// made and removes them when it is destroyed: keep one run per set of tables.
class ConversionRun {
 public:
  // Raises std::invalid_argument when a table or the description is missing.
  explicit ConversionRun(ConversionInputs inputs);
  ~ConversionRun();
  ConversionRun(const ConversionRun&) = delete;
  ConversionRun& operator=(const ConversionRun&) = delete;

  void SetObserver(ConversionObserver* observer) { observer_ = observer; }

  // Reads SOURCE, TARGET, CLEARTARGET and LATVIAN, checks that the PACKFIELDS and FILTER lines
  // can be read, and resets the display. A malformed line is reported ("Error in INI file!" /
  // "Error in .CNV file!") and gives false; Start then refuses until a later Show succeeds. In
  // automatic mode a successful Show starts the run.
  bool Show();
  // Starts a run from the first source record (Ready, Complete, Cancelled or Failed). Gives
  // whether the run is running; an error is shown and leaves the state Failed.
  bool Start();
  // One batch of at most 50 source records; does nothing unless running, nor while a batch is
  // already under way (a message shown inside a batch must not let another one start).
  void RunBatch();
  // Stops a running run between two batches; gives false when none was running.
  bool Cancel();

  RunState State() const { return state_; }
  bool IsRunning() const { return state_ == RunState::Running; }
  bool Described() const { return described_; }
  // The text of the last error that stopped or refused the run (empty when none).
  const std::string& LastError() const { return lastError_; }
  RunFailure Failure() const { return failure_; }

  // --- What the window shows ---
  const PathParts& SourceParts() const { return sourceParts_; }
  const PathParts& TargetParts() const { return targetParts_; }
  bool ClearOption() const { return clearOption_; }  // also: LblClear visible
  bool LatvianOption() const { return latvianOption_; }
  const std::string& MessageText() const { return message_; }
  MessageColour MessageTextColour() const { return messageColour_; }
  std::size_t ProcessedCount() const { return processed_; }            // bar position
  std::size_t ShownProcessedCount() const { return shownProcessed_; }  // LblProgCount
  std::size_t SourceCount() const { return sourceCount_; }             // bar maximum
  std::size_t TargetCount() const { return targetCount_; }
  bool CountsVisible() const { return countsVisible_; }
  std::size_t KeyViolationCount() const { return keyViolationCount_; }
  bool KeyViolationsVisible() const { return keyViolationCount_ > 0; }
  BarColour ProgressBarColour() const { return barColour_; }
  const std::string& TimeText() const { return timeText_; }  // LblTime
  bool TimeVisible() const { return timeVisible_; }
  int ReportThreshold() const { return reportThreshold_; }
  // Records refused by the target during the current run.
  std::size_t RefusedCount() const { return refusedCount_; }

  // The remaining minutes: elapsed seconds x (maximum - position) / position / 60, cut to a whole
  // number, plus 1. Empty text when nothing was processed yet.
  static std::string RemainingMinutes(std::int64_t elapsedSeconds, std::size_t maximum,
                                      std::size_t position);
  // position / maximum x 100 rounded to the nearest whole number, halves to even.
  static int RoundedPercent(std::size_t position, std::size_t maximum);

 private:
  struct PreparedRelation;

  void SetMessage(std::string_view text, MessageColour colour);
  void Notify();
  void Poke(std::string_view suffix);
  std::int64_t NowSeconds() const;
  void PrepareRelations();
  void ApplyFilter();
  void ClearTarget();
  std::string EndReplacement();
  void CheckDistinctTables();
  void PrepareTables(const std::string& targetFileName);
  bool FlushTables();
  bool ProcessRecord();  // false ends the tick
  void FillRecord();
  void RelationValue(PreparedRelation& relation, tables::Value& value);
  void BatchEnd();
  void Complete();
  void Fail(std::string text, RunFailure failure = RunFailure::Error);
  void OnRefused();
  void UpdateTime();

  ConversionInputs inputs_;
  ConversionObserver* observer_ = nullptr;
  std::unique_ptr<KeyViolationCapture> capture_;

  RunState state_ = RunState::Ready;
  bool described_ = false;
  bool inBatch_ = false;
  std::string lastError_;
  RunFailure failure_ = RunFailure::None;

  PathParts sourceParts_;
  PathParts targetParts_;
  bool clearOption_ = false;
  bool latvianOption_ = false;

  std::vector<PreparedRelation> relations_;
  std::vector<std::string> targetNames_;  // one per relation
  std::vector<tables::Value> values_;     // the record being filled, one value per relation

  std::string message_;
  MessageColour messageColour_ = MessageColour::Black;
  std::size_t processed_ = 0;
  std::size_t shownProcessed_ = 0;
  std::size_t sourceCount_ = 0;
  std::size_t targetCount_ = 0;
  bool countsVisible_ = false;
  std::size_t keyViolationCount_ = 0;
  std::size_t refusedCount_ = 0;
  BarColour barColour_ = BarColour::Navy;
  std::string timeText_;
  bool timeVisible_ = false;
  int reportThreshold_ = 10;
  std::int64_t startSecond_ = 0;
};

}  // namespace nox::convert

#include "convert/conversion_run.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "convert/description_file.h"
#include "convert/key_violations.h"
#include "convert/workspace.h"
#include "formula/compiled_formula.h"
#include "formula/formula.h"
#include "formula/latvian.h"
#include "host/messages.h"
#include "tables/table.h"

namespace nox::convert {

namespace {

constexpr int kBatchSize = 50;
// What the text-to-date function yields for a text that is no date: a date field then stays empty.
constexpr std::string_view kNoDate = "11.11.11";

bool IsPathSeparator(char c) {
  return c == '\\' || c == '/' || c == ':';
}

std::string ErrorText(const std::exception& error) {
  std::string text = error.what();
  if (text.empty()) text = "Unknown error";
  return text;
}

// Number fields read a formula's value as a number from its text; where the formula knows that
// number it hands it over without writing the text.
formula::ValueTarget FormulaTarget(tables::FieldType type) {
  switch (type) {
    case tables::FieldType::SmallInt:
    case tables::FieldType::Integer:
    case tables::FieldType::Word:
    case tables::FieldType::AutoInc:
      return formula::ValueTarget::WholeNumber;
    case tables::FieldType::Float:
    case tables::FieldType::BCD:
    case tables::FieldType::Currency:
      return formula::ValueTarget::Number;
    default:
      return formula::ValueTarget::Text;
  }
}

}  // namespace

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error);
}

PathParts SplitTablePath(std::string_view fullPath) {
  std::size_t nameStart = fullPath.size();
  while (nameStart > 0 && !IsPathSeparator(fullPath[nameStart - 1]))
    --nameStart;
  PathParts parts;
  parts.path = std::string(fullPath.substr(0, nameStart));
  const std::string_view fileName = fullPath.substr(nameStart);
  parts.name = std::string(fileName.substr(0, fileName.find('.')));
  const std::size_t lastDot = fileName.rfind('.');
  if (lastDot != std::string_view::npos) parts.extension = std::string(fileName.substr(lastDot));
  return parts;
}

struct ConversionRun::PreparedRelation {
  bool isFormula = false;
  int sourceIndex = -1;
  int targetIndex = -1;
  bool dateTarget = false;
  formula::ValueTarget formulaTarget = formula::ValueTarget::Text;
  std::optional<formula::CompiledFormula> formula;
};

ConversionRun::ConversionRun(ConversionInputs inputs) : inputs_(std::move(inputs)) {
  if (inputs_.description == nullptr) {
    throw std::invalid_argument("Conversion run without a description");
  }
  if (inputs_.source == nullptr || inputs_.target == nullptr || inputs_.keyViolations == nullptr) {
    throw std::invalid_argument("Conversion run without its source, target or key-violation table");
  }
  if (!inputs_.clock) {
    inputs_.clock = [] {
      return std::chrono::duration_cast<std::chrono::milliseconds>(
                 std::chrono::steady_clock::now().time_since_epoch())
          .count();
    };
  }
  capture_ = std::make_unique<KeyViolationCapture>(*inputs_.source, *inputs_.target,
                                                   *inputs_.keyViolations);
  capture_->SetOnRefused([this] { OnRefused(); });
  message_ = std::string(run_messages::kClickConvert);
}

ConversionRun::~ConversionRun() = default;

// --- Display helpers ---

void ConversionRun::SetMessage(std::string_view text, MessageColour colour) {
  message_ = std::string(text);
  messageColour_ = colour;
}

void ConversionRun::Notify() {
  if (observer_ != nullptr) observer_->DisplayChanged();
}

void ConversionRun::Poke(std::string_view suffix) {
  if (!inputs_.dde || observer_ == nullptr) return;
  std::string text = inputs_.messageName;
  text.append(suffix);
  observer_->Poke(text);
}

std::int64_t ConversionRun::NowSeconds() const {
  return inputs_.clock() / 1000;
}

std::string ConversionRun::RemainingMinutes(std::int64_t elapsedSeconds, std::size_t maximum,
                                            std::size_t position) {
  if (position == 0) return {};
  const std::int64_t left =
      maximum > position ? static_cast<std::int64_t>(maximum - position) : std::int64_t{0};
  const double minutes =
      static_cast<double>(elapsedSeconds * left) / static_cast<double>(position) / 60.0;
  return std::to_string(static_cast<std::int64_t>(std::trunc(minutes)) + 1);
}

int ConversionRun::RoundedPercent(std::size_t position, std::size_t maximum) {
  if (maximum == 0) return 0;
  // Exact integer arithmetic, so a share of exactly one half rounds to the even neighbour.
  const unsigned long long scaled = static_cast<unsigned long long>(position) * 100ULL;
  unsigned long long quotient = scaled / maximum;
  const unsigned long long twiceRest = (scaled % maximum) * 2ULL;
  if (twiceRest > maximum || (twiceRest == maximum && quotient % 2 == 1)) ++quotient;
  return static_cast<int>(quotient);
}

void ConversionRun::UpdateTime() {
  timeText_ = RemainingMinutes(NowSeconds() - startSecond_, sourceCount_, processed_);
}

// --- Show ---

bool ConversionRun::Show() {
  // Showing the window again during a run leaves the run and its display alone.
  if (state_ == RunState::Running || state_ == RunState::Starting) return true;
  namespace messages = convert::description_messages;
  const convert::DescriptionText& description = *inputs_.description;
  const auto failShow = [this](std::string_view text) {
    described_ = false;
    lastError_ = std::string(text);
    host::ShowMessage(host::MessageKind::Error, text);
    Notify();
    return false;
  };

  const std::optional<std::string> source = description.Value(convert::DescriptionLine::Source);
  if (!source) return failShow(messages::kFilesMalformed);
  shownProcessed_ = 0;
  sourceParts_ = SplitTablePath(*source);
  const std::optional<std::string> target = description.Value(convert::DescriptionLine::Target);
  if (!target) return failShow(messages::kFilesMalformed);
  targetParts_ = SplitTablePath(*target);

  const std::optional<bool> clear = description.Flag(convert::DescriptionLine::ClearTarget);
  if (!clear) return failShow(messages::kOptionsMalformed);
  clearOption_ = *clear;
  const std::optional<bool> latvian = description.Flag(convert::DescriptionLine::Latvian);
  if (!latvian) return failShow(messages::kOptionsMalformed);
  latvianOption_ = *latvian;
  // The filter and the pack fields come from the main window's displays, which stay empty when
  // their lines could not be read: converting then would take every record unfiltered.
  if (!description.Value(convert::DescriptionLine::PackFields) ||
      !description.Value(convert::DescriptionLine::Filter))
    return failShow(messages::kOptionsMalformed);

  barColour_ = BarColour::Navy;
  processed_ = 0;
  SetMessage(run_messages::kClickConvert, MessageColour::Black);
  timeVisible_ = false;
  timeText_.clear();
  lastError_.clear();
  state_ = RunState::Ready;
  described_ = true;
  Notify();
  if (inputs_.automatic) Start();
  return true;
}

// --- Start ---

void ConversionRun::PrepareRelations() {
  tables::TTable& source = *inputs_.source;
  tables::TTable& target = *inputs_.target;
  if (!source.Active()) throw tables::TableError("The source table is not open");
  if (!target.Active()) throw tables::TableError("The target table is not open");

  const std::vector<RunRelation> rows =
      inputs_.relations ? inputs_.relations() : std::vector<RunRelation>{};
  std::vector<PreparedRelation> prepared(rows.size());
  std::vector<std::string> names;
  names.reserve(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const RunRelation& row = rows[i];
    PreparedRelation& relation = prepared[i];
    relation.isFormula = row.IsFormula();
    if (relation.isFormula) {
      formula::TokenList tokens;
      formula::TypeList types;
      formula::TranslateFormula(row.formula, tokens, types);
      relation.formula.emplace(std::move(tokens), std::move(types));
    } else {
      const tables::TField* field = source.FindField(row.source);
      if (field == nullptr) {
        std::string text = "Source field '";
        text.append(host::InputForMessage(row.source)).append("' not found");
        throw tables::TableError(text);
      }
      relation.sourceIndex = field->Index();
    }
    const tables::TField* field = target.FindField(row.target);
    if (field == nullptr) {
      std::string text = "Target field '";
      text.append(host::InputForMessage(row.target)).append("' not found");
      throw tables::TableError(text);
    }
    relation.targetIndex = field->Index();
    relation.dateTarget = field->DataType() == tables::FieldType::Date;
    relation.formulaTarget = FormulaTarget(field->DataType());
    names.push_back(field->FieldName());
  }
  relations_ = std::move(prepared);
  targetNames_ = std::move(names);
  values_.assign(relations_.size(), tables::Value());
  capture_->SetRecord({&targetNames_, &values_});
}

void ConversionRun::ApplyFilter() {
  tables::TTable& source = *inputs_.source;
  std::string filter = inputs_.filter ? inputs_.filter() : std::string();
  source.SetFiltered(false);
  if (filter.empty()) {
    source.SetFilter(std::string());
    return;
  }
  source.SetFilter(std::move(filter));
  source.SetFiltered(true);
}

// The target is emptied in a copy beside it, which replaces it when the run ends: a program
// killed before leaves the old target whole.
void ConversionRun::ClearTarget() {
  inputs_.target->BeginReplacement();
}

// Puts the cleared target in place (completion, cancel or failure: what was stored stays). Gives
// the error text when that failed; the old target is then whole.
std::string ConversionRun::EndReplacement() {
  if (!inputs_.target->Replacing()) return {};
  try {
    inputs_.target->CommitReplacement();
  } catch (const std::exception& error) {
    return ErrorText(error);
  }
  return {};
}

// The run never deletes, replaces or writes a file it reads or writes under another name.
void ConversionRun::CheckDistinctTables() {
  const std::filesystem::path source = inputs_.source->FilePath();
  const std::filesystem::path target = inputs_.target->FilePath();
  const std::filesystem::path keyViolations = inputs_.keyViolations->FilePath();
  if (SameFile(source, target)) {
    throw tables::TableError(std::string(workspace_messages::kSameFile));
  }
  const std::string name = keyViolations.filename().string();
  if (SameFile(keyViolations, source)) {
    throw tables::TableError("The key-violation table '" + name +
                             "' of the target is the source table, and the run would replace "
                             "it: convert from a copy of it");
  }
  if (SameFile(keyViolations, target)) {
    throw tables::TableError("The target table '" + name +
                             "' is its own key-violation table, and the run would replace it: "
                             "convert into a table of another name");
  }
}

// Everything the run writes is checked before the first record: a table that cannot be written
// stops the run here, not record by record.
void ConversionRun::PrepareTables(const std::string& targetFileName) {
  tables::TTable& keyViolations = *inputs_.keyViolations;
  if (!keyViolations.Active()) {
    NameKeyViolationTable(keyViolations, inputs_.targetDirectory, targetFileName);
  }
  CheckDistinctTables();
  if (clearOption_) ClearTarget();
  try {
    inputs_.target->PrepareWrite();
    // No key-violation file of an earlier program run may be left.
    if (!keyViolations.Active()) keyViolations.DeleteTable();
  } catch (...) {
    if (inputs_.target->Replacing()) inputs_.target->DiscardReplacement();  // not cleared
    throw;
  }
}

bool ConversionRun::Start() {
  if (!described_ || inBatch_ || state_ == RunState::Running || state_ == RunState::Starting) {
    return false;
  }
  state_ = RunState::Starting;
  SetMessage(run_messages::kCountingRecords, MessageColour::Black);
  Notify();
  std::string targetFileName = targetParts_.name;
  targetFileName.append(targetParts_.extension);
  try {
    PrepareRelations();
    std::vector<std::string> packFields =
        SplitNameList(inputs_.packFields ? inputs_.packFields() : std::string(), kMaxPackFields);
    for (const std::string& name : packFields) {
      if (inputs_.target->FindField(name) == nullptr) {
        std::string text = "Pack field '";
        text.append(name).append("' is not a field of the target table");
        throw tables::TableError(text);
      }
    }
    ApplyFilter();
    sourceCount_ = inputs_.source->RecordCount();
    processed_ = 0;
    targetCount_ = inputs_.target->QuickRecordCount();
    countsVisible_ = true;
    Notify();
    capture_->SetTargetFile(inputs_.targetDirectory, targetFileName);
    capture_->SetPackFields(std::move(packFields));
    inputs_.source->First();
  } catch (const std::exception& error) {
    Fail(ErrorText(error));
    return false;
  }
  try {
    PrepareTables(targetFileName);
  } catch (const std::exception& error) {
    Fail(ErrorText(error), RunFailure::TableUnavailable);
    return false;
  }

  SetMessage(run_messages::kPassMinutes, MessageColour::Black);
  timeVisible_ = true;
  timeText_.clear();
  barColour_ = BarColour::Navy;
  shownProcessed_ = 0;
  processed_ = 0;
  refusedCount_ = 0;
  reportThreshold_ = 10;
  lastError_.clear();
  failure_ = RunFailure::None;
  startSecond_ = NowSeconds();
  state_ = RunState::Running;
  Notify();
  Poke(":0%");
  return true;
}

// --- Batches ---

// The value is assigned in place: a text keeps the storage of the previous record's.
void ConversionRun::RelationValue(PreparedRelation& relation, tables::Value& value) {
  tables::TTable& source = *inputs_.source;
  if (relation.isFormula) {
    if (!latvianOption_) {
      relation.formula->CalculateValue(&source, inputs_.window, relation.formulaTarget, value);
      return;
    }
    std::string text = relation.formula->Calculate(&source, inputs_.window);
    text = formula::LatvianDosToWin(text);
    value = tables::Value::Text(std::move(text));
    return;
  }
  const tables::Value& stored = source.Fields(relation.sourceIndex).GetValue();
  if (latvianOption_) {
    value = formula::LatvianDosToWin(stored);
  } else {
    value = stored;
  }
}

void ConversionRun::FillRecord() {
  tables::TTable& target = *inputs_.target;
  for (std::size_t i = 0; i < relations_.size(); ++i) {
    PreparedRelation& relation = relations_[i];
    tables::Value& value = values_[i];
    RelationValue(relation, value);
    if (relation.isFormula && relation.dateTarget && value.kind() == tables::Value::Kind::Text &&
        value.text() == kNoDate) {
      continue;
    }
    target.Fields(relation.targetIndex).SetValue(value);
  }
}

bool ConversionRun::ProcessRecord() {
  tables::TTable& target = *inputs_.target;
  try {
    target.Append();
    FillRecord();
  } catch (const std::exception& error) {
    target.Cancel();  // a half-filled record is never stored
    Fail(ErrorText(error));
    return false;
  }
  processed_ = std::min(processed_ + 1, sourceCount_);
  capture_->SetArmed(true);
  try {
    target.Post();
  } catch (const tables::AbortError&) {
    capture_->SetArmed(false);
    return false;  // refused and captured; the source has moved on and the tick ends
  } catch (const std::exception& error) {
    capture_->SetArmed(false);
    target.Cancel();
    std::string text = "Source record ";
    text.append(std::to_string(processed_))
        .append(" could not be stored: ")
        .append(ErrorText(error));
    Fail(std::move(text));
    return false;
  }
  capture_->SetArmed(false);
  try {
    inputs_.source->Next();
  } catch (const std::exception& error) {
    Fail(ErrorText(error));
    return false;
  }
  return true;
}

void ConversionRun::RunBatch() {
  if (inBatch_ || state_ != RunState::Running) return;
  inBatch_ = true;
  struct BatchGuard {
    bool& flag;
    ~BatchGuard() { flag = false; }
  } guard{inBatch_};

  for (int i = 0; i < kBatchSize; ++i) {
    if (state_ != RunState::Running) return;  // cancelled while a message was shown
    bool atEnd = false;
    try {
      atEnd = inputs_.source->Eof();
    } catch (const std::exception& error) {
      Fail(ErrorText(error));
      return;
    }
    if (atEnd) {
      Complete();
      return;
    }
    if (!ProcessRecord()) return;
  }
  if (state_ == RunState::Running) BatchEnd();
}

void ConversionRun::BatchEnd() {
  if (inputs_.dde && sourceCount_ != 0 &&
      RoundedPercent(processed_, sourceCount_) >= reportThreshold_) {
    std::string suffix = ":";
    suffix.append(std::to_string(reportThreshold_)).append("%");
    reportThreshold_ += 10;
    Poke(suffix);
  }
  shownProcessed_ = processed_;
  UpdateTime();
  Notify();
}

void ConversionRun::OnRefused() {
  ++refusedCount_;
  shownProcessed_ = processed_;
  UpdateTime();
  Notify();
}

// The counts shown are of records on disk: a table that cannot be written to the end fails the
// run instead of completing it.
bool ConversionRun::FlushTables() {
  try {
    inputs_.target->FlushBuffers();
    if (inputs_.keyViolations->Active()) inputs_.keyViolations->FlushBuffers();
  } catch (const std::exception& error) {
    Fail(ErrorText(error));
    return false;
  }
  return true;
}

void ConversionRun::Complete() {
  if (!FlushTables()) return;
  if (std::string error = EndReplacement(); !error.empty()) {
    Fail(std::move(error));
    return;
  }
  state_ = RunState::Complete;
  timeVisible_ = false;
  shownProcessed_ = processed_;
  targetCount_ = inputs_.target->QuickRecordCount();
  const tables::TTable& keyViolations = *inputs_.keyViolations;
  keyViolationCount_ = keyViolations.Active() ? keyViolations.QuickRecordCount() : 0;
  SetMessage(run_messages::kComplete, MessageColour::Green);
  Notify();
  if (observer_ != nullptr) observer_->Completed();
  if (inputs_.automatic) Poke(":Complete");
}

bool ConversionRun::Cancel() {
  if (state_ != RunState::Running) return false;
  state_ = RunState::Cancelled;
  barColour_ = BarColour::Red;
  SetMessage(run_messages::kTerminated, MessageColour::Red);
  Poke(": Convertation terminated by user.");
  Notify();
  if (FlushTables()) {
    if (std::string error = EndReplacement(); !error.empty()) Fail(std::move(error));
  }
  return true;
}

void ConversionRun::Fail(std::string text, RunFailure failure) {
  if (std::string error = EndReplacement(); !error.empty()) {
    text.append("\r\rThe cleared target could not be put in place: ").append(error);
  }
  state_ = RunState::Failed;
  failure_ = failure;
  barColour_ = BarColour::Red;
  SetMessage(text, MessageColour::Red);
  lastError_ = std::move(text);
  host::ShowMessage(host::MessageKind::Error, lastError_);
  Notify();
}

ConversionInputs WorkspaceInputs(convert::Workspace& workspace) {
  ConversionInputs inputs;
  inputs.description = &workspace.CFile;
  inputs.relations = [&workspace] {
    std::vector<RunRelation> rows;
    for (int i = 0; i < workspace.SGRelat.RelationCount(); ++i) {
      const auto index = static_cast<std::size_t>(i);
      const RelationRow& row = workspace.SGRelat.rows[index];
      rows.push_back({row.source, row.target, workspace.LBFunc.at(index)});
    }
    return rows;
  };
  inputs.filter = [&workspace] { return workspace.EditFilter; };
  inputs.packFields = [&workspace] { return workspace.EditPack; };
  inputs.source = &workspace.TableSource;
  inputs.target = &workspace.TableTarget;
  inputs.keyViolations = &workspace.TableKeyViol;
  inputs.targetDirectory = workspace.TableTarget.DatabaseName();
  return inputs;
}

}  // namespace nox::convert

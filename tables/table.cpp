#include "tables/table.h"

#include <unistd.h>

#include <algorithm>
#include <system_error>

#include "host/messages.h"
#include "tables/engine_config.h"
#include "tables/file_lock.h"
#include "tables/filter.h"
#include "tables/key_order.h"
#include "tables/path_lookup.h"
#include "tables/value_convert.h"

namespace nox::tables {
namespace {

std::vector<std::string_view> SplitFieldNames(std::string_view names) {
  std::vector<std::string_view> result;
  while (!names.empty()) {
    const std::size_t semicolon = names.find(';');
    const std::string_view name = TrimBlanks(names.substr(0, semicolon));
    if (!name.empty()) result.push_back(name);
    if (semicolon == std::string_view::npos) break;
    names.remove_prefix(semicolon + 1);
  }
  return result;
}

bool SameFieldList(std::string_view left, std::string_view right) {
  const auto a = SplitFieldNames(left);
  const auto b = SplitFieldNames(right);
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), EqualNoCase);
}

// The file-name part of a path: after the last "\", "/" or ":".
std::string_view FileNamePart(std::string_view path) {
  const std::size_t separator = path.find_last_of("\\/:");
  return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string Slashes(std::string_view path) {
  std::string result(path);
  std::replace(result.begin(), result.end(), '\\', '/');
  return result;
}

std::string UpperCase(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    c = static_cast<char>(FoldCase(static_cast<unsigned char>(c)));
  return result;
}

std::unique_ptr<TableStorage> OpenFile(const std::filesystem::path& path, TableType type,
                                       OpenMode mode) {
  return type == TableType::DBase ? OpenDbaseStorage(path, mode) : OpenParadoxStorage(path, mode);
}

std::unique_ptr<TableStorage> CreateFile(const std::filesystem::path& path, TableType type,
                                         const std::vector<FieldDef>& fields,
                                         const std::vector<IndexDef>& indexes) {
  return type == TableType::DBase ? CreateDbaseStorage(path, fields, indexes)
                                  : CreateParadoxStorage(path, fields, indexes);
}

// The memo and index files that go with a table, in either letter case.
std::vector<std::filesystem::path> Companions(const std::filesystem::path& path, TableType type) {
  const std::vector<std::string> extensions =
      type == TableType::DBase ? std::vector<std::string>{".dbt", ".mdx", ".DBT", ".MDX"}
                               : std::vector<std::string>{".px", ".mb", ".PX", ".MB"};
  std::vector<std::filesystem::path> companions;
  for (const std::string& extension : extensions) {
    std::filesystem::path companion = path;
    companion.replace_extension(extension);
    companions.push_back(std::move(companion));
  }
  return companions;
}

bool RemoveFile(const std::filesystem::path& path, TableType type) {
  std::error_code error;
  {
    // A table another program has open is not deleted under it.
    std::optional<FileLock> lock;
    if (std::filesystem::exists(path, error)) lock.emplace(path, OpenMode::Exclusive);
  }
  const bool existed = std::filesystem::remove(path, error);
  if (error) {
    throw TableError("Table '" + path.filename().string() +
                     "' cannot be deleted: " + error.message());
  }
  for (const std::filesystem::path& companion : Companions(path, type))
    std::filesystem::remove(companion, error);
  return existed;
}

}  // namespace

// --- TField ---

const FieldDef& TField::Def() const {
  return table_->fieldDefs_[static_cast<std::size_t>(index_)];
}
const std::string& TField::FieldName() const {
  return Def().name;
}
FieldType TField::DataType() const {
  return Def().type;
}
int TField::Size() const {
  return Def().size;
}
bool TField::Required() const {
  return Def().required;
}
const Value& TField::GetValue() const {
  return table_->FieldValue(index_);
}
void TField::SetValue(const Value& value) {
  // A value the field holds as it is would only be copied by converting it. The value is made
  // before the record is asked for, so a value the field refuses is reported first.
  const FieldDef& def = Def();
  if (HoldsFieldValue(def, value)) {
    table_->AssignedField(index_) = value;
  } else {
    table_->AssignedField(index_) = ConvertForField(def, value);
  }
}
std::string TField::AsString() const {
  return FieldValueText(Def().type, GetValue());
}
void TField::SetAsString(std::string_view text) {
  table_->AssignedField(index_) = ConvertForField(Def(), Value::Text(std::string(text)));
}
double TField::AsDateTime() const {
  return FieldValueDateTime(Def(), GetValue());
}
void TField::SetAsDateTime(double dateTime) {
  SetValue(Value::Date(dateTime));
}

// --- StorageFactory ---

const StorageFactory& StorageFactory::Files() {
  static const StorageFactory files{OpenFile, CreateFile, RemoveFile};
  return files;
}

// --- TTable: naming and opening ---

TTable::TTable() : TTable(StorageFactory::Files()) {}
TTable::TTable(StorageFactory factory) : factory_(std::move(factory)) {}

TTable::~TTable() {
  try {
    Close();
  } catch (const std::exception& error) {
    // Callers close explicitly to see this; a destructor can only pass it on.
    host::ShowMessage(host::MessageKind::Error, error.what());
  }
}

std::string TTable::DisplayName() const {
  if (!tableName_.empty()) return std::string(FileNamePart(tableName_));
  if (storage_) return storage_->path().filename().string();
  return name_;
}

void TTable::RequireActive() const {
  if (!storage_) throw TableError("Table '" + DisplayName() + "' is not open");
}

void TTable::RequireClosed(std::string_view operation) const {
  if (storage_) {
    throw TableError("Cannot " + std::string(operation) + " the open table '" + DisplayName() +
                     "'");
  }
}

void TTable::SetDatabaseName(std::string name) {
  RequireClosed("change the directory of");
  databaseName_ = std::move(name);
}

void TTable::SetTableName(std::string name) {
  RequireClosed("rename");
  tableName_ = std::move(name);
}

void TTable::SetTableType(TableType type) {
  RequireClosed("change the type of");
  tableType_ = type;
}

void TTable::SetExclusive(bool exclusive) {
  RequireClosed("change the sharing of");
  exclusive_ = exclusive;
}

TableType TTable::EffectiveTableType() const {
  if (tableType_ != TableType::Default) return tableType_;
  const std::string_view fileName = FileNamePart(tableName_);
  const std::size_t dot = fileName.find('.');
  if (dot != std::string_view::npos) {
    const std::string extension = UpperCase(fileName.substr(dot + 1));
    if (extension == "DB") return TableType::Paradox;
    if (extension == "DBF") return TableType::DBase;
  }
  return CurrentEngineConfig().defaultType;
}

std::filesystem::path TTable::FilePath() const {
  std::string fileName = Slashes(tableName_);
  // A name without extension gets the one of its type.
  if (FileNamePart(fileName).find('.') == std::string_view::npos && !fileName.empty()) {
    fileName += EffectiveTableType() == TableType::DBase ? ".dbf" : ".db";
  }
  std::filesystem::path file(fileName);
  if (databaseName_.empty() || file.is_absolute()) return ExistingSpelling(file);
  std::string directory = databaseName_;
  // A bare name that the configuration knows is an alias; anything else is a directory.
  if (databaseName_.find_first_of("\\/:") == std::string::npos) {
    if (const std::string* aliasPath = CurrentEngineConfig().AliasPath(databaseName_)) {
      directory = *aliasPath;
    }
  }
  return ExistingSpelling(std::filesystem::path(Slashes(directory)) / file);
}

void TTable::Open() {
  if (storage_) return;
  if (tableName_.empty()) throw TableError("Table name is missing");
  const TableType type = EffectiveTableType();
  OpenOnStorage(
      factory_.open(FilePath(), type, exclusive_ ? OpenMode::Exclusive : OpenMode::Shared));
}

void TTable::OpenOnStorage(std::unique_ptr<TableStorage> storage) {
  RequireClosed("open again");
  storage_ = std::move(storage);
  fieldDefs_ = storage_->fieldDefs();
  indexDefs_ = storage_->indexDefs();
  BuildFields();
  state_ = TableState::Browse;
  try {
    PrepareOrder();
    PrepareFilter();
    First();
  } catch (...) {
    storage_.reset();
    ResetCursorState();
    throw;
  }
}

void TTable::BuildFields() {
  fields_.clear();
  fields_.reserve(fieldDefs_.size());
  for (std::size_t i = 0; i < fieldDefs_.size(); ++i)
    fields_.emplace_back(*this, static_cast<int>(i));
  record_.assign(fieldDefs_.size(), Value::Null());
  recordUnread_ = false;
}

void TTable::ResetCursorState() {
  fields_.clear();
  order_.reset();
  filter_.reset();
  ranged_ = false;
  rangeStartKey_.clear();
  rangeEndKey_.clear();
  state_ = TableState::Inactive;
  eof_ = bof_ = true;
  hasRecord_ = false;
  recordUnread_ = false;
  editPosition_.reset();
}

void TTable::Close() {
  if (replacing_) DiscardReplacement();  // an unfinished replacement leaves the original
  if (!storage_) return;
  DropPending();
  std::unique_ptr<TableStorage> storage = std::move(storage_);
  ResetCursorState();
  storage->close();
}

void TTable::FlushBuffers() {
  RequireActive();
  storage_->flush();
}

void TTable::PrepareWrite() {
  RequireActive();
  storage_->prepareWrite();
}

void TTable::SetActive(bool active) {
  if (active) {
    Open();
  } else {
    Close();
  }
}

void TTable::EmptyTable() {
  if (!storage_) {
    auto storage = factory_.open(FilePath(), EffectiveTableType(), OpenMode::Exclusive);
    storage->emptyTable();
    storage->close();
    return;
  }
  DropPending();
  storage_->emptyTable();
  storage_->flush();
  PrepareOrder();
  First();
}

// --- Replacing the whole table ---

namespace {

// The directory beside a table where its replacement is built; its files keep their own names,
// so that the storages find their companions as they would in place.
std::filesystem::path ReplacementDirectory(const std::filesystem::path& table) {
  std::filesystem::path directory = table.has_parent_path() ? table.parent_path() : ".";
  return directory / ("." + table.filename().string() + ".clearing-" + std::to_string(::getpid()));
}

}  // namespace

void TTable::BeginReplacement() {
  RequireActive();
  if (replacing_) throw TableError("Table '" + DisplayName() + "' is already being replaced");
  DropPending();
  const std::filesystem::path path = FilePath();
  const TableType type = EffectiveTableType();
  // The original stays open and exclusive, so nobody writes into what the rename will replace.
  Close();
  try {
    original_ = factory_.open(path, type, OpenMode::Exclusive);
  } catch (...) {
    Open();  // another program holds it: the table goes on as it was
    throw;
  }
  exclusive_ = true;
  const std::filesystem::path directory = ReplacementDirectory(path);
  try {
    std::filesystem::remove_all(directory);
    std::filesystem::create_directory(directory);
    std::vector<std::filesystem::path> files{path};
    for (const std::filesystem::path& companion : Companions(path, type)) {
      if (std::filesystem::exists(companion)) files.push_back(companion);
    }
    original_->writeEmptied(directory);
    for (const std::filesystem::path& file : files) {
      const std::filesystem::path copy = directory / file.filename();
      if (!std::filesystem::exists(copy)) std::filesystem::copy_file(file, copy);
    }
    std::unique_ptr<TableStorage> copy =
        factory_.open(directory / path.filename(), type, OpenMode::Exclusive);
    copy->emptyTable();
    copy->flush();
    replacing_ = true;
    OpenOnStorage(std::move(copy));
  } catch (const std::filesystem::filesystem_error& error) {
    DiscardReplacement();
    throw TableError("Table '" + DisplayName() + "' cannot be cleared: " + error.code().message());
  } catch (...) {
    DiscardReplacement();
    throw;
  }
}

void TTable::CommitReplacement() {
  if (!replacing_) return;
  const std::filesystem::path path = FilePath();
  const std::filesystem::path directory = ReplacementDirectory(path);
  DropPending();
  std::unique_ptr<TableStorage> copy = std::move(storage_);
  ResetCursorState();
  try {
    copy->close();  // flushed: a write error keeps the original as it was
  } catch (...) {
    copy.reset();
    DiscardReplacement();
    throw;
  }
  copy.reset();  // its lock goes with it
  // Every file of the copy (a memo file may have been made during the run), companions first and
  // the table last: until the table's own rename the original opens whole.
  std::error_code error;
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
    if (entry.path().filename() != path.filename()) files.push_back(entry.path());
  }
  files.push_back(directory / path.filename());
  for (const std::filesystem::path& file : files) {
    if (!error) std::filesystem::rename(file, path.parent_path() / file.filename(), error);
  }
  if (error) {
    throw TableError("Table '" + DisplayName() + "' cannot be replaced by its cleared copy in " +
                     directory.string() + ": " + error.message());
  }
  replacing_ = false;
  std::unique_ptr<TableStorage> original = std::move(original_);
  std::filesystem::remove_all(directory, error);
  Open();
  original->close();
}

void TTable::DiscardReplacement() {
  const std::filesystem::path directory = ReplacementDirectory(FilePath());
  if (replacing_ && storage_) {
    DropPending();
    std::unique_ptr<TableStorage> copy = std::move(storage_);
    ResetCursorState();
    try {
      copy->close();
    } catch (const TableError&) {
      // Nothing of the copy is kept, so its own write errors do not matter.
    }
  }
  replacing_ = false;
  std::error_code error;
  std::filesystem::remove_all(directory, error);
  if (original_) OpenOnStorage(std::move(original_));
}

void TTable::CreateTable() {
  RequireClosed("create");
  if (fieldDefs_.empty()) {
    throw TableError("Table '" + DisplayName() + "' cannot be created without fields");
  }
  const std::filesystem::path path = FilePath();
  std::error_code error;
  const bool existed = std::filesystem::exists(path, error);
  try {
    auto storage = factory_.create(path, EffectiveTableType(), fieldDefs_, indexDefs_);
    storage->close();
  } catch (...) {
    // A failed create (a full disk) leaves no half-made table behind where there was none.
    if (!existed) {
      try {
        factory_.remove(path, EffectiveTableType());
      } catch (const TableError&) {
        // The create's own error is the one to report.
      }
    }
    throw;
  }
}

bool TTable::DeleteTable() {
  RequireClosed("delete");
  return factory_.remove(FilePath(), EffectiveTableType());
}

void TTable::IndexDefsUpdate() {
  if (storage_) {
    indexDefs_ = storage_->indexDefs();
    return;
  }
  auto storage = factory_.open(FilePath(), EffectiveTableType(), OpenMode::Shared);
  indexDefs_ = storage->indexDefs();
}

// --- Fields ---

TField& TTable::Fields(int index) {
  if (index < 0 || index >= FieldCount()) {
    throw TableError("Field index " + std::to_string(index) + " out of range for table '" +
                     DisplayName() + "'");
  }
  return fields_[static_cast<std::size_t>(index)];
}

TField* TTable::FindField(std::string_view name) {
  for (TField& field : fields_) {
    if (EqualNoCase(field.FieldName(), name)) return &field;
  }
  return nullptr;
}

TField& TTable::FieldByName(std::string_view name) {
  if (TField* field = FindField(name)) return *field;
  throw TableError("Field " + host::QuotedInput(name) + " not found");
}

const Value& TTable::FieldValue(int index) {
  const std::size_t i = static_cast<std::size_t>(index);
  if (state_ == TableState::SetKey) return keyBuffer_[i];
  if (recordUnread_) ReadStoredRecord();
  return record_[i];
}

void TTable::ReadStoredRecord() {
  storage_->readRecord(PositionAt(cursor_), record_);
  recordUnread_ = false;
}

Value& TTable::AssignedField(int index) {
  const std::size_t i = static_cast<std::size_t>(index);
  switch (state_) {
    case TableState::Insert:
    case TableState::Edit:
      return record_[i];
    case TableState::SetKey:
      return keyBuffer_[i];
    default:
      throw TableError("Table '" + DisplayName() + "' is not in edit or insert mode");
  }
}

// --- Order, filter and navigation ---

void TTable::PrepareOrder() {
  // Which index definition applies: named, matching IndexFieldNames, or the primary one.
  const IndexDef* index = nullptr;
  std::string fields;
  const bool hasPrimary = !indexDefs_.empty() && (indexDefs_[0].options & ixPrimary) != 0;
  if (!indexFieldNames_.empty()) {
    fields = indexFieldNames_;
    for (const IndexDef& candidate : indexDefs_) {
      if (SameFieldList(candidate.fields, fields)) {
        index = &candidate;
        break;
      }
    }
  } else if (!indexName_.empty()) {
    for (const IndexDef& candidate : indexDefs_) {
      if (EqualNoCase(candidate.name, indexName_)) index = &candidate;
    }
    if (index == nullptr) {
      throw TableError("Index '" + indexName_ + "' not found in table '" + DisplayName() + "'");
    }
    fields = index->fields;
  } else if (hasPrimary) {
    index = &indexDefs_[0];
    fields = index->fields;
  }

  std::vector<KeySegment> segments;
  for (std::string_view name : SplitFieldNames(fields)) {
    TField* field = FindField(name);
    if (field == nullptr) throw TableError("Field " + host::QuotedInput(name) + " not found");
    segments.push_back({field->Index(),
                        index != nullptr && (index->options & ixCaseInsensitive) != 0,
                        index != nullptr && (index->options & ixDescending) != 0});
  }
  const bool physical = segments.empty() || (hasPrimary && index == &indexDefs_[0]);
  order_ = physical ? std::make_unique<KeyOrder>(std::move(segments))
                    : std::make_unique<KeyOrder>(std::move(segments), *storage_, scratch_);
  ApplyRange();
}

void TTable::PrepareFilter() {
  filter_.reset();
  if (!filtered_ || TrimBlanks(filterText_).empty()) return;
  filter_ = std::make_unique<FilterExpression>(FilterExpression::Parse(filterText_, fieldDefs_));
}

std::size_t TTable::OrderSize() const {
  return order_->InMemory() ? order_->Size() : storage_->recordCount();
}

std::size_t TTable::ViewBegin() const {
  return ranged_ ? rangeBegin_ : 0;
}
std::size_t TTable::ViewEnd() const {
  return ranged_ ? rangeEnd_ : OrderSize();
}

std::size_t TTable::PositionAt(std::size_t orderIndex) const {
  return order_->InMemory() ? order_->PositionAt(orderIndex) : orderIndex;
}

bool TTable::LoadAt(std::size_t orderIndex) {
  storage_->readRecord(PositionAt(orderIndex), scratch_);
  if (filter_ && !filter_->Matches(scratch_)) return false;
  record_.swap(scratch_);
  recordUnread_ = false;
  cursor_ = orderIndex;
  hasRecord_ = true;
  eof_ = bof_ = false;
  return true;
}

void TTable::ShowNoRecord() {
  hasRecord_ = false;
  recordUnread_ = false;
  eof_ = bof_ = true;
  for (Value& value : record_)
    value = Value::Null();
}

void TTable::First() {
  RequireActive();
  DropPending();
  for (std::size_t i = ViewBegin(); i < ViewEnd(); ++i) {
    if (LoadAt(i)) {
      bof_ = true;
      return;
    }
  }
  ShowNoRecord();
}

void TTable::Last() {
  RequireActive();
  DropPending();
  for (std::size_t i = ViewEnd(); i > ViewBegin(); --i) {
    if (LoadAt(i - 1)) {
      eof_ = true;
      return;
    }
  }
  ShowNoRecord();
}

void TTable::Next() {
  RequireActive();
  DropPending();
  if (!hasRecord_) {
    eof_ = true;
    return;
  }
  for (std::size_t i = std::max(cursor_ + 1, ViewBegin()); i < ViewEnd(); ++i) {
    if (LoadAt(i)) return;
  }
  eof_ = true;  // the last record stays current
}

void TTable::Prior() {
  RequireActive();
  DropPending();
  if (!hasRecord_) {
    bof_ = true;
    return;
  }
  for (std::size_t i = std::min(cursor_, ViewEnd()); i > ViewBegin(); --i) {
    if (LoadAt(i - 1)) return;
  }
  bof_ = true;
}

std::size_t TTable::RecordCount() {
  RequireActive();
  if (!filter_) return ViewEnd() - ViewBegin();
  // Only the values the filter reads are made; the others are read just far enough to raise
  // the errors a whole record's reading would.
  std::size_t count = 0;
  for (std::size_t i = ViewBegin(); i < ViewEnd(); ++i) {
    storage_->readFields(PositionAt(i), filter_->Fields(), scratch_);
    if (filter_->Matches(scratch_)) ++count;
  }
  return count;
}

std::size_t TTable::OrderCount() const {
  return storage_ ? ViewEnd() - ViewBegin() : 0;
}

std::optional<std::size_t> TTable::OrderPosition() const {
  if (!storage_ || !hasRecord_) return std::nullopt;
  return cursor_ - ViewBegin();
}

bool TTable::MoveToOrderPosition(std::size_t position) {
  RequireActive();
  if (position >= OrderCount()) return false;
  DropPending();
  return LoadAt(ViewBegin() + position);
}

bool TTable::ReadAtOrderPosition(std::size_t position, Record& record) {
  RequireActive();
  if (position >= OrderCount()) return false;
  storage_->readRecord(PositionAt(ViewBegin() + position), record);
  return !filter_ || filter_->Matches(record);
}

std::size_t TTable::QuickRecordCount() const {
  return storage_ ? storage_->recordCount() : 0;
}

void TTable::SetFilter(std::string expression) {
  if (storage_ && filtered_) {
    // Translate first, so that a bad expression leaves the table as it was.
    auto translated =
        std::make_unique<FilterExpression>(FilterExpression::Parse(expression, fieldDefs_));
    filterText_ = std::move(expression);
    filter_ = translated->IsEmpty() ? nullptr : std::move(translated);
    First();
    return;
  }
  filterText_ = std::move(expression);
}

void TTable::SetFiltered(bool filtered) {
  if (filtered == filtered_) return;
  if (!storage_) {
    filtered_ = filtered;
    return;
  }
  filtered_ = filtered;
  try {
    PrepareFilter();
  } catch (...) {
    filtered_ = false;
    filter_.reset();
    throw;
  }
  First();
}

// --- Editing ---

void TTable::DropPending() {
  if (state_ == TableState::Insert || state_ == TableState::Edit || state_ == TableState::SetKey) {
    Cancel();
  }
}

void TTable::Append() {
  RequireActive();
  DropPending();
  for (Value& value : record_)
    value.clear();
  recordUnread_ = false;
  state_ = TableState::Insert;
}

void TTable::Edit() {
  RequireActive();
  DropPending();
  if (!hasRecord_) throw TableError("Table '" + DisplayName() + "' has no current record to edit");
  if (recordUnread_) ReadStoredRecord();
  editPosition_ = PositionAt(cursor_);
  state_ = TableState::Edit;
}

void TTable::Cancel() {
  if (!storage_) return;
  const bool hadRecordChanges = state_ == TableState::Insert || state_ == TableState::Edit;
  state_ = TableState::Browse;
  editPosition_.reset();
  if (!hadRecordChanges) return;
  if (hasRecord_) {
    ReadStoredRecord();
  } else {
    for (Value& value : record_)
      value = Value::Null();
  }
}

void TTable::Delete() {
  RequireActive();
  DropPending();
  if (!hasRecord_) {
    throw TableError("Table '" + DisplayName() + "' has no current record to delete");
  }
  const std::size_t position = PositionAt(cursor_);
  storage_->deleteRecord(position);
  if (order_->InMemory()) order_->Remove(position);
  ApplyRange();
  // The record that moved into the deleted one's place in the order, else the one before it.
  for (std::size_t i = std::max(cursor_, ViewBegin()); i < ViewEnd(); ++i) {
    if (LoadAt(i)) return;
  }
  for (std::size_t i = std::min(cursor_, ViewEnd()); i > ViewBegin(); --i) {
    if (LoadAt(i - 1)) {
      eof_ = true;
      return;
    }
  }
  ShowNoRecord();
}

void TTable::CheckRequiredFields() const {
  for (std::size_t i = 0; i < fieldDefs_.size(); ++i) {
    const FieldDef& def = fieldDefs_[i];
    // The storage numbers auto-increment fields itself.
    if (def.required && def.type != FieldType::AutoInc && record_[i].isNull()) {
      throw RecordRefused("Field '" + def.name + "' must have a value");
    }
  }
}

std::size_t TTable::StorePending() {
  CheckRequiredFields();
  if (state_ == TableState::Insert) return storage_->appendRecord(record_);
  return storage_->updateRecord(*editPosition_, record_);
}

void TTable::Post() {
  RequireActive();
  for (;;) {
    if (state_ != TableState::Insert && state_ != TableState::Edit) return;
    std::size_t position = 0;
    try {
      position = StorePending();
    } catch (const TableError& error) {
      PostErrorAction action = PostErrorAction::Fail;
      if (onPostError_) onPostError_(*this, error, action);
      if (action == PostErrorAction::Fail) throw;
      if (action == PostErrorAction::Abort) throw AbortError();
      continue;  // Retry: the handler may have changed the record (or cancelled it)
    }
    AfterStore(position);
    return;
  }
}

void TTable::AfterStore(std::size_t position) {
  const std::optional<std::size_t> oldPosition = editPosition_;
  state_ = TableState::Browse;
  editPosition_.reset();
  std::size_t orderIndex = position;
  if (order_->InMemory()) {
    // An order kept in memory files the record by the key values the file holds now.
    storage_->readRecord(position, record_);
    if (oldPosition) order_->Remove(*oldPosition);
    orderIndex = order_->Insert(position, record_);
  } else {
    recordUnread_ = true;  // what the file holds now is read when it is looked at
  }
  ApplyRange();
  cursor_ = orderIndex;
  hasRecord_ = true;
  eof_ = bof_ = false;
}

// --- Keys and ranges ---

void TTable::SetIndexFieldNames(std::string names) {
  if (!storage_) {
    indexFieldNames_ = std::move(names);
    indexName_.clear();
    return;
  }
  DropPending();
  std::string previous = std::exchange(indexFieldNames_, std::move(names));
  std::string previousName = std::exchange(indexName_, std::string());
  try {
    ranged_ = false;
    PrepareOrder();
  } catch (...) {
    indexFieldNames_ = std::move(previous);
    indexName_ = std::move(previousName);
    PrepareOrder();
    throw;
  }
  First();
}

void TTable::SetIndexName(std::string name) {
  if (!storage_) {
    indexName_ = std::move(name);
    indexFieldNames_.clear();
    return;
  }
  DropPending();
  std::string previous = std::exchange(indexName_, std::move(name));
  std::string previousFields = std::exchange(indexFieldNames_, std::string());
  try {
    ranged_ = false;
    PrepareOrder();
  } catch (...) {
    indexName_ = std::move(previous);
    indexFieldNames_ = std::move(previousFields);
    PrepareOrder();
    throw;
  }
  First();
}

std::string TTable::CurrentIndexFields() const {
  if (!order_) return {};
  std::string names;
  for (const KeySegment& segment : order_->Segments()) {
    if (!names.empty()) names += ';';
    names += fieldDefs_[static_cast<std::size_t>(segment.field)].name;
  }
  return names;
}

void TTable::RequireKeyedOrder() const {
  RequireActive();
  if (order_->Segments().empty()) {
    throw TableError("Table '" + DisplayName() + "' has no index to search");
  }
}

std::vector<Value> TTable::ConvertKey(const std::vector<Value>& keyValues) const {
  const auto& segments = order_->Segments();
  if (keyValues.size() > segments.size()) {
    throw TableError("Too many key values for the index of table '" + DisplayName() + "'");
  }
  std::vector<Value> key;
  key.reserve(keyValues.size());
  for (std::size_t i = 0; i < keyValues.size(); ++i) {
    key.push_back(
        ConvertForField(fieldDefs_[static_cast<std::size_t>(segments[i].field)], keyValues[i]));
  }
  return key;
}

int TTable::CompareKeyAt(std::size_t orderIndex, const std::vector<Value>& key) const {
  if (order_->InMemory()) return order_->CompareEntry(orderIndex, key);
  storage_->readRecord(orderIndex, scratch_);
  return order_->CompareRecord(scratch_, key);
}

std::size_t TTable::LowerBound(const std::vector<Value>& key) const {
  std::size_t low = 0;
  std::size_t high = OrderSize();
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (CompareKeyAt(middle, key) < 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

std::size_t TTable::UpperBound(const std::vector<Value>& key) const {
  std::size_t low = 0;
  std::size_t high = OrderSize();
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (CompareKeyAt(middle, key) <= 0) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

bool TTable::MoveToKey(const std::vector<Value>& key, bool exact) {
  std::size_t i = std::max(LowerBound(key), ViewBegin());
  for (; i < ViewEnd(); ++i) {
    if (exact && CompareKeyAt(i, key) != 0) return false;
    if (LoadAt(i)) return true;
  }
  if (exact) return false;
  // Every key is smaller: the last record, as the engine's cursor ends there.
  Last();
  return false;
}

void TTable::SetKey() {
  RequireKeyedOrder();
  DropPending();
  keyBuffer_.assign(fieldDefs_.size(), Value::Null());
  state_ = TableState::SetKey;
}

bool TTable::GotoKey() {
  RequireKeyedOrder();
  if (state_ != TableState::SetKey) {
    throw TableError("Table '" + DisplayName() + "' is not in key search mode");
  }
  state_ = TableState::Browse;
  std::vector<Value> key;
  for (const KeySegment& segment : order_->Segments()) {
    key.push_back(std::move(keyBuffer_[static_cast<std::size_t>(segment.field)]));
  }
  return MoveToKey(key, true);
}

bool TTable::FindKey(const std::vector<Value>& keyValues) {
  RequireKeyedOrder();
  DropPending();
  return MoveToKey(ConvertKey(keyValues), true);
}

void TTable::FindNearest(const std::vector<Value>& keyValues) {
  RequireKeyedOrder();
  DropPending();
  MoveToKey(ConvertKey(keyValues), false);
}

void TTable::ApplyRange() {
  if (!ranged_) return;
  rangeBegin_ = rangeStartKey_.empty() ? 0 : LowerBound(rangeStartKey_);
  rangeEnd_ = rangeEndKey_.empty() ? OrderSize() : UpperBound(rangeEndKey_);
  rangeEnd_ = std::max(rangeEnd_, rangeBegin_);
}

void TTable::SetRange(const std::vector<Value>& startValues, const std::vector<Value>& endValues) {
  RequireKeyedOrder();
  DropPending();
  rangeStartKey_ = ConvertKey(startValues);
  rangeEndKey_ = ConvertKey(endValues);
  ranged_ = true;
  ApplyRange();
  First();
}

void TTable::CancelRange() {
  RequireActive();
  ranged_ = false;
  First();
}

}  // namespace nox::tables

#pragma once
// TTable: one table object per table of the program. It names a table by directory (or alias) and
// file name, opens it through the storage of its format, and offers navigation in index order,
// filters, key searches and ranges, record editing with a post-error hook, and typed field access
// whose values travel as variants (tables/value.h).

#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tables/field_defs.h"
#include "tables/storage.h"
#include "tables/value.h"

namespace nox::tables {

class TTable;
class FilterExpression;
class KeyOrder;

// Raised by Post when an OnPostError handler chose Abort: the operation ends silently, so callers
// catch it and show nothing. Deliberately not a TableError.
class AbortError : public std::exception {
 public:
  const char* what() const noexcept override { return "Operation aborted"; }
};

enum class PostErrorAction { Fail, Abort, Retry };

enum class TableState { Inactive, Browse, Insert, Edit, SetKey };

// One field of an open table. Reads and writes the table's current record (or, between SetKey and
// GotoKey, the search key). Assigning converts the value to the field's type; an empty text or a
// null value empties the field.
class TField {
 public:
  TField(TTable& table, int index) : table_(&table), index_(index) {}

  const std::string& FieldName() const;
  FieldType DataType() const;
  int Size() const;
  bool Required() const;
  int Index() const { return index_; }

  // The stored value in the field type's own kind: Text for text, memo and binary fields,
  // Integer for the integer kinds, Float for float and BCD, Currency, Date for date, time and
  // date-time (days since 30.12.1899), Boolean; Null when empty.
  const Value& GetValue() const;
  void SetValue(const Value& value);

  // The text the formula language reads: integers as digits, floats in the general number format
  // with the host's decimal separator, dates in the host's short date format, booleans
  // "True"/"False", null as empty text.
  std::string AsString() const;
  void SetAsString(std::string_view text);
  // The engine date-time number; an empty field gives 0.
  double AsDateTime() const;
  void SetAsDateTime(double dateTime);

  bool IsNull() const { return GetValue().isNull(); }
  void Clear() { SetValue(Value::Null()); }

 private:
  const FieldDef& Def() const;

  TTable* table_;
  int index_;
};

// Opens and creates table files of a type. The default opens real files; tests put in-memory
// storages behind a table through this seam.
struct StorageFactory {
  std::function<std::unique_ptr<TableStorage>(const std::filesystem::path&, TableType, OpenMode)>
      open;
  std::function<std::unique_ptr<TableStorage>(const std::filesystem::path&, TableType,
                                              const std::vector<FieldDef>&,
                                              const std::vector<IndexDef>&)>
      create;
  // Deletes the table file with its companions; gives false when there was none.
  std::function<bool(const std::filesystem::path&, TableType)> remove;

  static const StorageFactory& Files();  // Paradox and dBase files on disk
};

class TTable {
 public:
  using PostErrorHandler = std::function<void(TTable&, const TableError&, PostErrorAction&)>;

  TTable();
  explicit TTable(StorageFactory factory);
  ~TTable();
  TTable(const TTable&) = delete;
  TTable& operator=(const TTable&) = delete;

  // The table object's own name, by which formulas find it among a window's tables.
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  // A directory or an alias of the engine configuration.
  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(std::string name);
  // The file name with extension.
  const std::string& TableName() const { return tableName_; }
  void SetTableName(std::string name);
  // Default: by the text after the first "." of the file name ("DB" Paradox, "DBF" dBase), else
  // the engine's default type.
  TableType GetTableType() const { return tableType_; }
  void SetTableType(TableType type);
  // The type the table is (or would be) opened as, with Default resolved.
  TableType EffectiveTableType() const;
  // The file the table names: directory (or the alias's directory) joined with the file name,
  // spelled as an existing file when only the letter case or the encoding differ
  // (ExistingSpelling).
  std::filesystem::path FilePath() const;

  bool Exclusive() const { return exclusive_; }
  void SetExclusive(bool exclusive);

  // --- Opening ---
  void Open();
  // Opens the table over a storage the caller made (tests, tools).
  void OpenOnStorage(std::unique_ptr<TableStorage> storage);
  // Flushes and closes; an unposted record is dropped. Raises a write error after closing: close
  // explicitly to see it (the destructor can only report it through host::ShowMessage).
  void Close();
  bool Active() const { return storage_ != nullptr; }
  void SetActive(bool active);
  TableState State() const { return state_; }
  // The open table's storage (nullptr when closed).
  TableStorage* Storage() const { return storage_.get(); }

  // Makes every record posted so far durable on disk; raises the write error.
  void FlushBuffers();
  // Before the first change: takes the open table for writing (the exclusive lock) and checks
  // that it can be written, so that a table that cannot be written is refused before anything
  // is stored. Raises TableError naming the cause.
  void PrepareWrite();

  // Removes every record; structure and indexes stay. A closed table is opened exclusively for
  // it and closed again.
  void EmptyTable();
  // Empties the open table without touching it: its files are copied into a directory beside it
  // and the copy emptied; the table then works on the copy while the original stays whole and
  // exclusively locked. CommitReplacement renames the copy's files over the original's (the
  // table stays open, exclusively); DiscardReplacement drops the copy. A program killed before
  // the commit leaves the original as it was. Raises TableError naming the cause; the table is
  // then as before.
  void BeginReplacement();
  void CommitReplacement();
  void DiscardReplacement();
  bool Replacing() const { return replacing_; }
  // Creates the file from FieldDefs and IndexDefs, replacing a table of that name. The table must
  // be closed.
  void CreateTable();
  // Deletes the table's file (closed table); false when there was none. A table another program
  // has open is refused.
  bool DeleteTable();

  // --- Structure ---
  std::vector<FieldDef>& FieldDefs() { return fieldDefs_; }
  std::vector<IndexDef>& IndexDefs() { return indexDefs_; }
  // Reads the index definitions of the file (opening it for a moment when the table is closed).
  void IndexDefsUpdate();

  int FieldCount() const { return static_cast<int>(fields_.size()); }
  TField& Fields(int index);
  // Raises TableError "Field 'NAME' not found" for a name the table lacks.
  TField& FieldByName(std::string_view name);
  TField* FindField(std::string_view name);  // names compared without regard to case

  // --- Navigation in index order, over records passing the filter and range ---
  void First();
  void Next();
  void Prior();
  void Last();
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  // Exact count of records passing the filter (and range).
  std::size_t RecordCount();
  // The table's record count as the open cursor knows it; 0 when the table is not open.
  std::size_t QuickRecordCount() const;

  // --- Positions: the records of the current order and range numbered from 0, the ones the
  // filter refuses included, so that a grid reaches any record at once without counting ---
  std::size_t OrderCount() const;  // 0 when the table is not open
  // The current record's position; nothing without a current record.
  std::optional<std::size_t> OrderPosition() const;
  // Makes the record at a position current; false, the cursor staying, when the position is past
  // the end or the filter refuses that record.
  bool MoveToOrderPosition(std::size_t position);
  // Reads the record at a position without moving the cursor (a record being edited stays);
  // false when the position is past the end or the filter refuses it.
  bool ReadAtOrderPosition(std::size_t position, Record& record);

  // --- Filter ---
  const std::string& Filter() const { return filterText_; }
  void SetFilter(std::string expression);  // raises the expression's error when filtering is on
  bool Filtered() const { return filtered_; }
  void SetFiltered(bool filtered);  // raises the expression's error on an open table

  // --- Editing: only Post stores a record ---
  void Append();  // an empty new record (a pending unposted record is dropped first)
  void Edit();    // the current record (a pending unposted record is dropped first)
  void Post();    // stores it, or reports the failure through OnPostError
  void Cancel();  // drops the pending record
  // Deletes the current record (a pending unposted record is dropped first). The following record
  // becomes current; when the deleted one was the last, the previous one does and Eof() is true,
  // so that a loop that either deletes or moves on ends; without records left both Eof() and
  // Bof() are true. Raises TableError naming the table when there is no current record or the
  // table refuses the change (locked by another program, damaged); the table is unchanged then.
  void Delete();
  const PostErrorHandler& OnPostError() const { return onPostError_; }
  void SetOnPostError(PostErrorHandler handler) { onPostError_ = std::move(handler); }

  // --- Order and keys ---
  // Field names joined by ";"; empty means the primary index (or record order without one).
  const std::string& IndexFieldNames() const { return indexFieldNames_; }
  void SetIndexFieldNames(std::string names);
  // An index definition by name; empty means the primary index.
  const std::string& IndexName() const { return indexName_; }
  void SetIndexName(std::string name);
  // The field names of the current order ("" for record order).
  std::string CurrentIndexFields() const;

  // SetKey, then assign key fields through Fields/FieldByName, then GotoKey.
  void SetKey();
  bool GotoKey();  // moves to the record with that key when one exists
  // Exact match of the leading key fields; the cursor stays when none exists.
  bool FindKey(const std::vector<Value>& keyValues);
  // First record at or after the key (fewer values than key fields allowed); the last record
  // when every key is smaller.
  void FindNearest(const std::vector<Value>& keyValues);
  // Limits navigation to keys between the bounds, both included (leading key fields).
  void SetRange(const std::vector<Value>& startValues, const std::vector<Value>& endValues);
  void CancelRange();

 private:
  friend class TField;

  const Value& FieldValue(int index);
  void ReadStoredRecord();
  // The value of a field that an assignment changes (the record being edited, or the search key).
  Value& AssignedField(int index);
  void RequireActive() const;
  void RequireClosed(std::string_view operation) const;
  void RequireKeyedOrder() const;
  void BuildFields();
  void ResetCursorState();
  void PrepareOrder();
  void PrepareFilter();
  void ApplyRange();
  std::size_t OrderSize() const;
  std::size_t ViewBegin() const;
  std::size_t ViewEnd() const;
  std::size_t PositionAt(std::size_t orderIndex) const;
  bool LoadAt(std::size_t orderIndex);  // false when the record fails the filter
  void ShowNoRecord();
  void DropPending();
  void CheckRequiredFields() const;
  std::size_t StorePending();
  void AfterStore(std::size_t position);
  std::vector<Value> ConvertKey(const std::vector<Value>& keyValues) const;
  int CompareKeyAt(std::size_t orderIndex, const std::vector<Value>& key) const;
  std::size_t LowerBound(const std::vector<Value>& key) const;
  std::size_t UpperBound(const std::vector<Value>& key) const;
  bool MoveToKey(const std::vector<Value>& key, bool exact);
  std::string DisplayName() const;

  StorageFactory factory_;
  std::string name_;
  std::string databaseName_;
  std::string tableName_;
  TableType tableType_ = TableType::Default;
  bool exclusive_ = false;

  std::unique_ptr<TableStorage> storage_;
  // While replacing: the original, open and locked.
  std::unique_ptr<TableStorage> original_;
  bool replacing_ = false;
  std::vector<FieldDef> fieldDefs_;
  std::vector<IndexDef> indexDefs_;
  std::vector<TField> fields_;

  TableState state_ = TableState::Inactive;
  Record record_;  // the current record, or the one being inserted or edited
  // The record just stored is read back (an auto-increment number, a cut text) only when it is
  // looked at: a run that appends record after record never needs it.
  bool recordUnread_ = false;
  Record keyBuffer_;        // between SetKey and GotoKey
  mutable Record scratch_;  // records read while scanning and searching
  std::size_t cursor_ = 0;  // order index of the current record
  bool hasRecord_ = false;
  bool eof_ = true;
  bool bof_ = true;
  std::optional<std::size_t> editPosition_;  // storage position of the record in Edit

  std::string filterText_;
  bool filtered_ = false;
  std::unique_ptr<FilterExpression> filter_;

  std::string indexFieldNames_;
  std::string indexName_;
  std::unique_ptr<KeyOrder> order_;  // key fields and, for a secondary order, sorted positions
  bool ranged_ = false;
  std::vector<Value> rangeStartKey_;
  std::vector<Value> rangeEndKey_;
  std::size_t rangeBegin_ = 0;  // order indexes [rangeBegin_, rangeEnd_) while ranged
  std::size_t rangeEnd_ = 0;

  PostErrorHandler onPostError_;
};

// The engine's shared directory (the configuration's NETDIR, else the current directory).
std::string NetFileDir();
// The lines of an alias, among them "PATH=<dir>"; raises TableError for an unknown alias.
std::vector<std::string> GetAliasParams(std::string_view alias);

}  // namespace nox::tables

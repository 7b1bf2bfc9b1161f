#pragma once
// What one table file format (dBase, Paradox) offers the engine: its structure and its records by
// position. Positions run from 0 in the table's physical order, which for a keyed table is key
// order. The engine (TTable) builds navigation, filters, secondary orders and value conversion on
// top of this.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "tables/field_defs.h"
#include "tables/value.h"

namespace nox::tables {

// Every error of the file and table layers carries the text the user sees.
class TableError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A record the table refuses for its content: a key that exists, a required value missing, a value
// its field cannot hold. The table is left unchanged. Every other error of a post (the disk, the
// lock, a damaged file) is a failure of the table, not of the record.
class RecordRefused : public TableError {
 public:
  using TableError::TableError;
};

// A post refused because the record's primary key already exists; its text is "Key violation".
class KeyViolation : public RecordRefused {
 public:
  KeyViolation() : RecordRefused("Key violation") {}
};

using Record = std::vector<Value>;  // one value per field, in field order

enum class OpenMode { Shared, Exclusive };

class TableStorage {
 public:
  virtual ~TableStorage() = default;

  virtual TableType type() const = 0;
  // The format's level as users know it ("dBase III+", "dBase IV", "Paradox 7.x", ...).
  virtual std::string formatLevel() const = 0;
  virtual const std::filesystem::path& path() const = 0;
  virtual const std::vector<FieldDef>& fieldDefs() const = 0;
  // The primary index first (a keyed Paradox table), then the secondary index definitions.
  virtual const std::vector<IndexDef>& indexDefs() const = 0;

  // What does not add up in the files, empty when they are sound: records the header counts but
  // the file lacks, records or bytes that nothing counts, a block chain leading out of the file.
  // Such a table reads what it can, and refuses every change (nothing it did not account for is
  // overwritten or cut off).
  virtual std::string faults() const { return {}; }

  // Live (not deleted) records.
  virtual std::size_t recordCount() const = 0;
  // Fills out (resized to the field count) with the record at a position below recordCount().
  virtual void readRecord(std::size_t position, Record& out) = 0;
  // The values of the fields at the given positions (ascending) of that record, into out (resized
  // to the field count; its other values are left as they were). Raises every error readRecord
  // raises for that record, so a scan made this way fails where one of whole records would.
  virtual void readFields(std::size_t position, std::span<const int> fields, Record& out) {
    static_cast<void>(fields);
    readRecord(position, out);
  }
  // Stores a new record; gives its position. A keyed table raises KeyViolation, unchanged, when
  // the key exists.
  virtual std::size_t appendRecord(const Record& record) = 0;
  // Replaces the record at a position; gives its position afterwards (a changed key moves it).
  // A keyed table raises KeyViolation, unchanged, when the new key belongs to another record.
  virtual std::size_t updateRecord(std::size_t position, const Record& record) = 0;
  // Removes the record at a position; the records after it move down one position. Refused,
  // the table unchanged, like a change of any other kind (a lock, a damaged table).
  virtual void deleteRecord(std::size_t position) = 0;
  // Removes every record; structure and indexes stay.
  virtual void emptyTable() = 0;
  // Writes into `directory`, under their own names, those of the table's files it can write
  // without copying the records, such that emptyTable() on a storage opened there leaves exactly
  // what it would leave on a whole copy. The caller copies the files not written.
  virtual void writeEmptied(const std::filesystem::path& directory) const {
    static_cast<void>(directory);
  }
  // Makes everything posted so far durable and the files consistent on disk.
  virtual void flush() = 0;
  // Before the first change: takes the table for writing (the exclusive lock) and checks that its
  // files can be written. Raises TableError naming the cause; the table is unchanged then.
  virtual void prepareWrite() {}
  // Flushes and closes the files (the lock goes when the storage is destroyed). Raises the flush's
  // error after closing them; the storage is closed either way. A storage destroyed without close()
  // closes itself and reports a failure through host::ShowMessage, as a destructor cannot raise it:
  // callers close explicitly.
  virtual void close() { flush(); }
};

}  // namespace nox::tables

namespace nox::tables {

// Opening and creating tables of each format. Open raises TableError naming the file when it is
// missing, locked by another program or not a table of that format. Create replaces an existing
// table of that name (with its memo/index companions) and opens the new one exclusively.
std::unique_ptr<TableStorage> OpenDbaseStorage(const std::filesystem::path& path, OpenMode mode);
std::unique_ptr<TableStorage> CreateDbaseStorage(const std::filesystem::path& path,
                                                 const std::vector<FieldDef>& fields,
                                                 const std::vector<IndexDef>& indexes);
std::unique_ptr<TableStorage> OpenParadoxStorage(const std::filesystem::path& path, OpenMode mode);
std::unique_ptr<TableStorage> CreateParadoxStorage(const std::filesystem::path& path,
                                                   const std::vector<FieldDef>& fields,
                                                   const std::vector<IndexDef>& indexes);

}  // namespace nox::tables

#pragma once
// The capture of records the target refuses: the target's post-error handler stores the refused
// record in the key-violation table beside the target (same structure, no indexes, kept open
// across runs) and, when pack fields are named, adds their values into the target record that
// holds the same key.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tables/table.h"
#include "tables/value.h"

namespace nox::convert {

// At most this many pack field names and key fields are used.
inline constexpr std::size_t kMaxPackFields = 101;
inline constexpr std::size_t kMaxKeyFields = 20;

// Names separated by ";", up to the first empty item and at most `limit` of them.
std::vector<std::string> SplitNameList(std::string_view text, std::size_t limit);

// The sum packing writes: null when either value is null, two texts joined, anything else summed
// as numbers (a text read as a number). Raises tables::TableError for a text that is no number.
tables::Value PackSum(const tables::Value& existing, const tables::Value& added);

// The key-violation table's name for a target file name part (without extension): its first 6
// characters followed by "KV".
std::string KeyViolationTableName(std::string_view targetName);

// Points the key-violation table at the target directory, with its name and a type following the
// target's extension ("DBF" dBase, "DB" Paradox, else the engine's default).
// `targetFileName` is the target's file name with its extension.
void NameKeyViolationTable(tables::TTable& keyViolations, const std::string& targetDirectory,
                           std::string_view targetFileName);

class KeyViolationCapture {
 public:
  // One value per relation of the record the target refused, stored in the field of that name.
  struct RefusedRecord {
    const std::vector<std::string>* fieldNames = nullptr;
    const std::vector<tables::Value>* values = nullptr;
  };

  // Installs the post-error handlers on the target and the key-violation table; the destructor
  // removes them.
  KeyViolationCapture(tables::TTable& source, tables::TTable& target,
                      tables::TTable& keyViolations);
  ~KeyViolationCapture();
  KeyViolationCapture(const KeyViolationCapture&) = delete;
  KeyViolationCapture& operator=(const KeyViolationCapture&) = delete;

  // Set at the start of a run.
  void SetTargetFile(std::string targetDirectory, std::string targetFileName);
  void SetPackFields(std::vector<std::string> packFields) { packFields_ = std::move(packFields); }
  void SetRecord(RefusedRecord record) { record_ = record; }
  // Only a post of the run is captured; a failed post of the target at any other time raises its
  // error as usual.
  void SetArmed(bool armed) { armed_ = armed; }
  // Called after the refused record was cancelled, before it is stored (the window refreshes).
  void SetOnRefused(std::function<void()> onRefused) { onRefused_ = std::move(onRefused); }

  // The target's OnPostError. A record the target refuses for its content (tables::RecordRefused)
  // is cancelled, stored once in the key-violation table, then packed, and the post aborts; the
  // source moves to its next record whatever happens. Any other error (the disk, the lock) is a
  // failure of the target and is raised as it is. An error while setting up, filling or storing
  // the key-violation record is raised after that (the record is then stored nowhere, so the run
  // must stop); amounts packing cannot add leave the target record as it was, and a target that
  // fails while packing raises its error.
  void TableTargetPostError(tables::TTable& table, const tables::TableError& error,
                            tables::PostErrorAction& action);
  // The key-violation table's OnPostError: lets the error raise, so that the target's handler
  // reports the record that could be stored nowhere.
  static void TableKeyViolPostError(tables::TTable& table, const tables::TableError& error,
                                    tables::PostErrorAction& action);

 private:
  void SetUpTable();
  void FillKeyViolationRecord();
  void Pack();

  tables::TTable& source_;
  tables::TTable& target_;
  tables::TTable& keyViolations_;
  std::string targetDirectory_;
  std::string targetFileName_;
  std::vector<std::string> packFields_;
  RefusedRecord record_;
  std::function<void()> onRefused_;
  bool armed_ = false;
  bool handling_ = false;  // a post inside the handler (packing) must not come back to it
};

}  // namespace nox::convert

#pragma once
// An in-memory TableStorage for tests of the table engine: records in a vector, kept in key order
// when the first index definition is primary (which then refuses a duplicate key with
// KeyViolation), and a set of named in-memory "files" that TTable can open, create and empty
// through its StorageFactory seam.

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tables/storage.h"
#include "tables/table.h"

namespace nox::test {

struct MemoryTableData {
  tables::TableType type = tables::TableType::Paradox;
  std::vector<tables::FieldDef> fields;
  std::vector<tables::IndexDef> indexes;
  std::vector<tables::Record> records;
  int openCount = 0;
  bool exclusive = false;
};

class MemoryStorage : public tables::TableStorage {
 public:
  MemoryStorage(std::filesystem::path path, std::shared_ptr<MemoryTableData> data);
  ~MemoryStorage() override;

  tables::TableType type() const override { return data_->type; }
  std::string formatLevel() const override { return "in memory"; }
  const std::filesystem::path& path() const override { return path_; }
  const std::vector<tables::FieldDef>& fieldDefs() const override { return data_->fields; }
  const std::vector<tables::IndexDef>& indexDefs() const override { return data_->indexes; }
  std::size_t recordCount() const override { return data_->records.size(); }
  void readRecord(std::size_t position, tables::Record& out) override;
  std::size_t appendRecord(const tables::Record& record) override;
  std::size_t updateRecord(std::size_t position, const tables::Record& record) override;
  void deleteRecord(std::size_t position) override;
  void emptyTable() override { data_->records.clear(); }
  void flush() override {}

 private:
  // Where a record with this key belongs; sets `duplicate` when another record holds the key.
  std::size_t KeyedPlace(const tables::Record& record, std::size_t ignore, bool& duplicate) const;

  std::filesystem::path path_;
  std::shared_ptr<MemoryTableData> data_;
  std::vector<int> keyFields_;
};

// A stand-alone storage over fresh data (no file behind it).
std::unique_ptr<MemoryStorage> MakeMemoryStorage(std::vector<tables::FieldDef> fields,
                                                 std::vector<tables::IndexDef> indexes = {},
                                                 std::vector<tables::Record> records = {});

// Named in-memory tables; opening a missing one or an exclusively held one fails like a file.
class MemoryFiles {
 public:
  tables::StorageFactory Factory();
  std::shared_ptr<MemoryTableData> Find(const std::filesystem::path& path) const;
  void Put(const std::filesystem::path& path, std::shared_ptr<MemoryTableData> data);

 private:
  std::map<std::string, std::shared_ptr<MemoryTableData>> tables_;
};

}  // namespace nox::test

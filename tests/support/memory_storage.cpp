#include "tests/support/memory_storage.h"

#include "tables/key_order.h"

namespace nox::test {

using tables::Record;
using tables::TableError;

MemoryStorage::MemoryStorage(std::filesystem::path path, std::shared_ptr<MemoryTableData> data)
    : path_(std::move(path)), data_(std::move(data)) {
  ++data_->openCount;
  if (!data_->indexes.empty() && (data_->indexes[0].options & tables::ixPrimary) != 0) {
    std::string names = data_->indexes[0].fields + ";";
    for (std::size_t start = 0, end; (end = names.find(';', start)) != std::string::npos;
         start = end + 1) {
      const std::string name = names.substr(start, end - start);
      for (std::size_t i = 0; i < data_->fields.size(); ++i) {
        if (data_->fields[i].name == name) keyFields_.push_back(static_cast<int>(i));
      }
    }
  }
}

MemoryStorage::~MemoryStorage() {
  --data_->openCount;
  data_->exclusive = false;
}

void MemoryStorage::readRecord(std::size_t position, Record& out) {
  if (position >= data_->records.size()) throw TableError("Record position out of range");
  const Record& record = data_->records[position];
  out.resize(record.size());
  for (std::size_t i = 0; i < record.size(); ++i) {
    if (record[i].kind() == tables::Value::Kind::Text) {
      out[i].setText(record[i].text());
    } else {
      out[i] = record[i];
    }
  }
}

std::size_t MemoryStorage::KeyedPlace(const Record& record, std::size_t ignore,
                                      bool& duplicate) const {
  duplicate = false;
  std::size_t place = 0;
  for (std::size_t i = 0; i < data_->records.size(); ++i) {
    if (i == ignore) continue;
    int order = 0;
    for (int field : keyFields_) {
      const auto f = static_cast<std::size_t>(field);
      order = tables::CompareFieldValues(data_->records[i][f], record[f], false);
      if (order != 0) break;
    }
    if (order == 0) duplicate = true;
    if (order < 0) ++place;
  }
  return place;
}

std::size_t MemoryStorage::appendRecord(const Record& record) {
  if (record.size() != data_->fields.size()) throw TableError("Record of the wrong width");
  if (keyFields_.empty()) {
    data_->records.push_back(record);
    return data_->records.size() - 1;
  }
  bool duplicate = false;
  const std::size_t place = KeyedPlace(record, data_->records.size(), duplicate);
  if (duplicate) throw tables::KeyViolation();
  data_->records.insert(data_->records.begin() + static_cast<std::ptrdiff_t>(place), record);
  return place;
}

std::size_t MemoryStorage::updateRecord(std::size_t position, const Record& record) {
  if (position >= data_->records.size()) throw TableError("Record position out of range");
  if (keyFields_.empty()) {
    data_->records[position] = record;
    return position;
  }
  bool duplicate = false;
  std::size_t place = KeyedPlace(record, position, duplicate);
  if (duplicate) throw tables::KeyViolation();
  data_->records.erase(data_->records.begin() + static_cast<std::ptrdiff_t>(position));
  data_->records.insert(data_->records.begin() + static_cast<std::ptrdiff_t>(place), record);
  return place;
}

void MemoryStorage::deleteRecord(std::size_t position) {
  if (position >= data_->records.size()) throw TableError("Record position out of range");
  data_->records.erase(data_->records.begin() + static_cast<std::ptrdiff_t>(position));
}

std::unique_ptr<MemoryStorage> MakeMemoryStorage(std::vector<tables::FieldDef> fields,
                                                 std::vector<tables::IndexDef> indexes,
                                                 std::vector<Record> records) {
  auto data = std::make_shared<MemoryTableData>();
  data->fields = std::move(fields);
  data->indexes = std::move(indexes);
  auto storage = std::make_unique<MemoryStorage>("memory", data);
  for (const Record& record : records)
    storage->appendRecord(record);
  return storage;
}

std::shared_ptr<MemoryTableData> MemoryFiles::Find(const std::filesystem::path& path) const {
  const auto found = tables_.find(path.lexically_normal().string());
  return found == tables_.end() ? nullptr : found->second;
}

void MemoryFiles::Put(const std::filesystem::path& path, std::shared_ptr<MemoryTableData> data) {
  tables_[path.lexically_normal().string()] = std::move(data);
}

tables::StorageFactory MemoryFiles::Factory() {
  tables::StorageFactory factory;
  factory.open = [this](const std::filesystem::path& path, tables::TableType,
                        tables::OpenMode mode) -> std::unique_ptr<tables::TableStorage> {
    auto data = Find(path);
    const std::string name = path.filename().string();
    if (!data) throw TableError("Table '" + name + "' does not exist");
    if (data->exclusive || (mode == tables::OpenMode::Exclusive && data->openCount > 0)) {
      throw TableError("Table '" + name + "' is locked by another user");
    }
    auto storage = std::make_unique<MemoryStorage>(path, data);
    data->exclusive = mode == tables::OpenMode::Exclusive;
    return storage;
  };
  factory.create =
      [this](
          const std::filesystem::path& path, tables::TableType type,
          const std::vector<tables::FieldDef>& fields,
          const std::vector<tables::IndexDef>& indexes) -> std::unique_ptr<tables::TableStorage> {
    auto data = std::make_shared<MemoryTableData>();
    data->type = type;
    data->fields = fields;
    data->indexes = indexes;
    Put(path, data);
    auto storage = std::make_unique<MemoryStorage>(path, data);
    data->exclusive = true;
    return storage;
  };
  factory.remove = [this](const std::filesystem::path& path, tables::TableType) {
    return tables_.erase(path.lexically_normal().string()) > 0;
  };
  return factory;
}

}  // namespace nox::test

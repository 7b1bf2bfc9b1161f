#pragma once
// What the formula tests share: pinned host formats, captured messages, the example record and
// a window with named tables.

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "formula/formula.h"
#include "formula/named_window.h"
#include "host/date_time.h"
#include "host/host_formats.h"
#include "host/messages.h"
#include "tables/table.h"
#include "tests/support/host_test_support.h"
#include "tests/support/memory_storage.h"

namespace nox::formula::test {

using nox::test::CapturedMessages;
using nox::test::PinnedHostFormats;

// The example record: NAME "Smith", N 7, P 2.5, D 15 March 2004, B1 true, B2 false, NOTES a memo
// "Note", EMPTYDAY an empty date.
inline std::unique_ptr<tables::TTable> MakeExampleRecord(std::string tableName = "TableSource") {
  using tables::FieldType;
  using tables::Value;
  auto table = std::make_unique<tables::TTable>();
  table->SetName(std::move(tableName));
  table->OpenOnStorage(nox::test::MakeMemoryStorage(
      {{"NAME", FieldType::String, 20},
       {"N", FieldType::Integer},
       {"P", FieldType::Float},
       {"D", FieldType::Date},
       {"B1", FieldType::Boolean},
       {"B2", FieldType::Boolean},
       {"NOTES", FieldType::Memo},
       {"EMPTYDAY", FieldType::Date}},
      {},
      {{Value::Text("Smith"), Value::Integer(7), Value::Float(2.5),
        Value::Date(host::EncodeDate({2004, 3, 15})), Value::Boolean(true), Value::Boolean(false),
        Value::Text("Note"), Value::Null()}}));
  return table;
}

// A window with named tables that registers itself under its name while it exists.
class TestWindow : public NamedWindow {
 public:
  explicit TestWindow(std::string name) : name_(std::move(name)) { RegisterNamedWindow(*this); }
  ~TestWindow() override { UnregisterNamedWindow(*this); }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  std::string_view WindowName() const override { return name_; }
  tables::TTable* FindTable(std::string_view tableName) const override {
    for (const auto& table : tables_) {
      if (table->Name().size() == tableName.size() &&
          std::equal(tableName.begin(), tableName.end(), table->Name().begin(),
                     [](char a, char b) { return (a | 0x20) == (b | 0x20); })) {
        return table.get();
      }
    }
    return nullptr;
  }
  void AddTable(std::unique_ptr<tables::TTable> table) { tables_.push_back(std::move(table)); }

 private:
  std::string name_;
  std::vector<std::unique_ptr<tables::TTable>> tables_;
};

}  // namespace nox::formula::test

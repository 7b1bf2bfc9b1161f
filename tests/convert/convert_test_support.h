#pragma once
// Real files for conversion tests: a dBase source CLIENTS.DBF and a Paradox target CUSTOMER.DB
// keyed on CODE in a temporary directory, a description naming them, and an observer that
// records what the run reports.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/conversion_run.h"
#include "convert/description_file.h"
#include "host/date_time.h"
#include "host/host_formats.h"
#include "host/messages.h"
#include "tables/table.h"
#include "tests/support/host_test_support.h"
#include "tests/support/temp_dir.h"

namespace nox::convert::test {

using tables::FieldDef;
using tables::FieldType;
using tables::TTable;
using tables::Value;

// One source record: CODE, NAME, QTY, DTXT (a date as text).
struct SourceRow {
  int code;
  std::string name;
  std::optional<double> qty;
  std::string dateText;
};

class RecordingObserver : public ConversionObserver {
 public:
  void DisplayChanged() override { ++displayChanges; }
  void Poke(std::string_view text) override { pokes.emplace_back(text); }
  void Completed() override { ++completions; }

  int displayChanges = 0;
  int completions = 0;
  std::vector<std::string> pokes;
};

using CapturedRunMessages = nox::test::CapturedMessages;

class ConversionFixture : public ::testing::Test {
 protected:
  ConversionFixture() {
    description = convert::DescriptionText::NewTemplate(SourcePath(), TargetPath());
    description.SetValue(convert::DescriptionLine::Latvian, "FALSE");
  }

  std::string Dir() const { return dir.path().string(); }
  std::string SourcePath() const { return (dir / "CLIENTS.DBF").string(); }
  std::string TargetPath() const { return (dir / targetFile).string(); }

  void CreateSource(const std::vector<SourceRow>& rows) {
    TTable table;
    table.SetDatabaseName(Dir());
    table.SetTableName("CLIENTS.DBF");
    table.FieldDefs() = {{"CODE", FieldType::Integer},
                         {"NAME", FieldType::String, 20},
                         {"QTY", FieldType::Float},
                         {"DTXT", FieldType::String, 10}};
    table.CreateTable();
    table.Open();
    for (const SourceRow& row : rows) {
      table.Append();
      table.FieldByName("CODE").SetValue(Value::Integer(row.code));
      table.FieldByName("NAME").SetValue(Value::Text(row.name));
      if (row.qty) table.FieldByName("QTY").SetValue(Value::Float(*row.qty));
      table.FieldByName("DTXT").SetValue(Value::Text(row.dateText));
      table.Post();
    }
    table.Close();
  }

  // CODE (key), NAME, QTY, BORN (date); keyed = false leaves it without an index.
  void CreateTarget(bool keyed = true) {
    TTable table;
    table.SetDatabaseName(Dir());
    table.SetTableName(targetFile);
    table.FieldDefs() = {{"CODE", FieldType::Integer, 0, keyed},
                         {"NAME", FieldType::String, 20},
                         {"QTY", FieldType::Float},
                         {"BORN", FieldType::Date}};
    if (keyed) table.IndexDefs() = {{"", "CODE", tables::ixPrimary}};
    table.CreateTable();
  }

  void AddTargetRecord(int code, const std::string& name, std::optional<double> qty) {
    TTable table;
    table.SetDatabaseName(Dir());
    table.SetTableName(targetFile);
    table.Open();
    table.Append();
    table.FieldByName("CODE").SetValue(Value::Integer(code));
    table.FieldByName("NAME").SetValue(Value::Text(name));
    if (qty) table.FieldByName("QTY").SetValue(Value::Float(*qty));
    table.Post();
  }

  void OpenTables() {
    source.SetDatabaseName(Dir());
    source.SetTableName("CLIENTS.DBF");
    source.Open();
    target.SetDatabaseName(Dir());
    target.SetTableName(targetFile);
    target.Open();
  }

  // Field relations CODE, NAME, QTY into the fields of the same name.
  void DefaultRelations() {
    relations = {
        {"CODE", "CODE", "<default>"}, {"NAME", "NAME", "<default>"}, {"QTY", "QTY", "<default>"}};
  }

  ConversionInputs Inputs() {
    ConversionInputs inputs;
    inputs.description = &description;
    inputs.relations = [this] { return relations; };
    inputs.filter = [this] { return filter; };
    inputs.packFields = [this] { return packFields; };
    inputs.source = &source;
    inputs.target = &target;
    inputs.keyViolations = &keyViolations;
    inputs.targetDirectory = Dir();
    inputs.messageName = "CONV.CNV";
    inputs.automatic = automatic;
    inputs.dde = dde;
    inputs.clock = [this] { return nowMs; };
    return inputs;
  }

  std::unique_ptr<ConversionRun> MakeRun() {
    auto run = std::make_unique<ConversionRun>(Inputs());
    run->SetObserver(&observer);
    return run;
  }

  // Runs batches until the run stops; gives the number of batches.
  static int RunToEnd(ConversionRun& run) {
    int batches = 0;
    while (run.IsRunning() && batches < 10000) {
      run.RunBatch();
      ++batches;
    }
    return batches;
  }

  // The records of an open table in its order, each as its field texts joined by "|".
  static std::vector<std::string> Rows(TTable& table) {
    std::vector<std::string> rows;
    for (table.First(); !table.Eof(); table.Next()) {
      std::string row;
      for (int i = 0; i < table.FieldCount(); ++i) {
        if (i > 0) row.append("|");
        row.append(table.Fields(i).AsString());
      }
      rows.push_back(row);
    }
    return rows;
  }

  std::vector<std::string> TargetRows() { return Rows(target); }

  nox::test::PinnedHostFormats formats;
  nox::test::TempDir dir;
  std::string targetFile = "CUSTOMER.DB";
  convert::DescriptionText description;
  std::vector<RunRelation> relations;
  std::string filter;
  std::string packFields;
  bool automatic = false;
  bool dde = false;
  std::int64_t nowMs = 1'000'000;
  TTable source;
  TTable target;
  TTable keyViolations;
  RecordingObserver observer;
  CapturedRunMessages messages;
};

}  // namespace nox::convert::test

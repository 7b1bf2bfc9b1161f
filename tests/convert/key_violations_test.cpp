// Records the target refuses: the key-violation table beside the target, packing into the record
// with the same key, and what happens when either of them fails.

#include "convert/key_violations.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "convert/conversion_run.h"
#include "tests/convert/convert_test_support.h"

namespace nox::convert::test {
namespace {

TEST(SplitNameListTest, StopsAtTheFirstEmptyItemAndTheLimit) {
  struct Case {
    std::string text;
    std::size_t limit;
    std::vector<std::string> names;
  };
  const std::vector<Case> cases = {
      {"", 101, {}},
      {"QTY", 101, {"QTY"}},
      {"QTY;SUM", 101, {"QTY", "SUM"}},
      {"QTY;SUM;", 101, {"QTY", "SUM"}},
      {"QTY;;SUM", 101, {"QTY"}},
      {";QTY", 101, {}},
      {"A;B;C", 2, {"A", "B"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitNameList(c.text, c.limit), c.names) << c.text;
  }
}

TEST(PackSumTest, NumbersSumTextsJoinNullWins) {
  using tables::Value;
  struct Case {
    Value existing, added, sum;
  };
  const std::vector<Case> cases = {
      {Value::Integer(2), Value::Integer(3), Value::Integer(5)},
      {Value::Float(1.5), Value::Integer(2), Value::Float(3.5)},
      {Value::Text("ab"), Value::Text("cd"), Value::Text("abcd")},
      {Value::Text("2.5"), Value::Float(1), Value::Float(3.5)},
      {Value::Integer(4), Value::Text("6"), Value::Integer(10)},
      {Value::Currency(1.25), Value::Integer(1), Value::Currency(2.25)},
      {Value::Date(38000), Value::Integer(2), Value::Date(38002)},
      {Value::Null(), Value::Integer(1), Value::Null()},
      {Value::Integer(1), Value::Null(), Value::Null()},
      {Value::Text("a"), Value::Null(), Value::Null()},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(PackSum(cases[i].existing, cases[i].added), cases[i].sum) << "case " << i;
  }
  EXPECT_THROW(PackSum(Value::Text("x"), Value::Integer(1)), tables::TableError);
  EXPECT_THROW(PackSum(Value::Boolean(true), Value::Integer(1)), tables::TableError);
}

TEST(KeyViolationNameTest, NameAndTypeFollowTheTarget) {
  struct Case {
    std::string targetFile;
    std::string tableName;
    tables::TableType type;
  };
  const std::vector<Case> cases = {
      {"CUSTOMER.DB", "CUSTOMKV.DB", tables::TableType::Paradox},
      {"ABC.DBF", "ABCKV.DBF", tables::TableType::DBase},
      {"abc.dbf", "abcKV.dbf", tables::TableType::DBase},
      {"SALES2004.TXT", "SALES2KV.TXT", tables::TableType::Default},
      {"ARCH.2004.DB", "ARCHKV.DB", tables::TableType::Default},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.targetFile);
    tables::TTable table;
    NameKeyViolationTable(table, "/data", c.targetFile);
    EXPECT_EQ(table.DatabaseName(), "/data");
    EXPECT_EQ(table.TableName(), c.tableName);
    EXPECT_EQ(table.GetTableType(), c.type);
  }
}

class KeyViolationTest : public ConversionFixture {
 protected:
  std::unique_ptr<ConversionRun> StartRun() {
    auto run = MakeRun();
    EXPECT_TRUE(run->Show());
    EXPECT_TRUE(run->Start());
    return run;
  }

  std::vector<std::string> KeyViolationRows() { return Rows(keyViolations); }
};

TEST_F(KeyViolationTest, DuplicateKeysArePackedOrKeptAsTheyWere) {
  struct Case {
    std::string pack;
    std::vector<std::string> targetRows;
  };
  const std::vector<Case> cases = {
      {"QTY", {"7|A|5|", "8|B|1|"}},
      {"QTY;NAME", {"7|AC|5|", "8|B|1|"}},
      {"", {"7|A|2|", "8|B|1|"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pack);
    source.Close();
    target.Close();
    keyViolations.Close();
    std::filesystem::remove(dir / "CLIENTS.DBF");
    CreateSource({{7, "A", 2.0, ""}, {8, "B", 1.0, ""}, {7, "C", 3.0, ""}});
    CreateTarget();
    OpenTables();
    DefaultRelations();
    packFields = c.pack;
    auto run = StartRun();
    RunToEnd(*run);
    EXPECT_EQ(run->State(), RunState::Complete);
    EXPECT_EQ(TargetRows(), c.targetRows);
    EXPECT_TRUE(keyViolations.Active());
    EXPECT_TRUE(std::filesystem::exists(dir / "CUSTOMKV.DB"));
    EXPECT_EQ(keyViolations.EffectiveTableType(), tables::TableType::Paradox);
    EXPECT_EQ(KeyViolationRows(), (std::vector<std::string>{"7|C|3|"}));
    EXPECT_EQ(run->KeyViolationCount(), 1u);
    EXPECT_TRUE(run->KeyViolationsVisible());
    EXPECT_EQ(run->ProcessedCount(), 3u);
    EXPECT_EQ(run->TargetCount(), 2u);
    EXPECT_TRUE(messages.texts.empty());
  }
}

TEST_F(KeyViolationTest, TableHasTheTargetFieldsNoneRequiredAndNoIndex) {
  CreateSource({{7, "A", 2.0, ""}, {7, "C", 3.0, ""}});
  CreateTarget();
  OpenTables();
  target.FieldDefs()[1].required = true;  // a validity check of the open target
  DefaultRelations();
  auto run = StartRun();
  RunToEnd(*run);
  ASSERT_TRUE(keyViolations.Active());
  const std::vector<FieldDef>& targetFields = target.FieldDefs();
  const std::vector<FieldDef>& fields = keyViolations.FieldDefs();
  ASSERT_EQ(fields.size(), targetFields.size());
  for (std::size_t i = 0; i < fields.size(); ++i) {
    EXPECT_EQ(fields[i].name, targetFields[i].name);
    EXPECT_EQ(fields[i].type, targetFields[i].type);
    EXPECT_EQ(fields[i].size, targetFields[i].size);
    EXPECT_FALSE(fields[i].required);
  }
  EXPECT_TRUE(targetFields[1].required);
  EXPECT_TRUE(keyViolations.IndexDefs().empty());
}

TEST_F(KeyViolationTest, SecondRunAppendsToTheOpenTableAndFirstRunDropsLeftovers) {
  CreateSource({{7, "A", 2.0, ""}, {8, "B", 1.0, ""}, {7, "C", 3.0, ""}});
  CreateTarget();
  OpenTables();
  DefaultRelations();
  {
    // A key-violation file of an earlier program run.
    TTable old;
    old.SetDatabaseName(Dir());
    old.SetTableName("CUSTOMKV.DB");
    old.FieldDefs() = {{"JUNK", FieldType::String, 5}};
    old.CreateTable();
  }
  auto run = StartRun();
  EXPECT_FALSE(std::filesystem::exists(dir / "CUSTOMKV.DB"));
  RunToEnd(*run);
  EXPECT_EQ(KeyViolationRows(), (std::vector<std::string>{"7|C|3|"}));

  // Every record is refused now: each tick handles one record only.
  dde = true;
  auto second = MakeRun();
  ASSERT_TRUE(second->Show());
  ASSERT_TRUE(second->Start());
  for (std::size_t processed = 1; processed <= 3; ++processed) {
    const int before = observer.displayChanges;
    second->RunBatch();
    EXPECT_EQ(second->ProcessedCount(), processed);
    EXPECT_EQ(second->ShownProcessedCount(), processed);
    EXPECT_FALSE(second->TimeText().empty());
    EXPECT_GT(observer.displayChanges, before);
  }
  second->RunBatch();
  EXPECT_EQ(second->State(), RunState::Complete);
  EXPECT_EQ(observer.pokes, (std::vector<std::string>{"CONV.CNV:0%"}));
  EXPECT_EQ(second->KeyViolationCount(), 4u);
  EXPECT_EQ(second->RefusedCount(), 3u);
  EXPECT_EQ(KeyViolationRows(), (std::vector<std::string>{"7|C|3|", "7|A|2|", "8|B|1|", "7|C|3|"}));
  EXPECT_EQ(TargetRows(), (std::vector<std::string>{"7|A|2|", "8|B|1|"}));
}

TEST_F(KeyViolationTest, EmptyPackValueStaysEmpty) {
  CreateSource({{7, "A", 2.0, ""}});
  CreateTarget();
  AddTargetRecord(7, "Old", std::nullopt);
  OpenTables();
  DefaultRelations();
  packFields = "QTY";
  auto run = StartRun();
  RunToEnd(*run);
  EXPECT_EQ(TargetRows(), (std::vector<std::string>{"7|Old||"}));
  EXPECT_EQ(KeyViolationRows(), (std::vector<std::string>{"7|A|2|"}));
}

TEST_F(KeyViolationTest, RecordsRefusedForAnotherCauseAreKeptWithoutPacking) {
  // No index: a record is refused only when CODE is missing (a validity check of the open
  // target), which QTY gives here.
  CreateSource({{1, "A", 5.0, ""}, {2, "B", std::nullopt, ""}, {3, "C", 6.0, ""}});
  CreateTarget(false);
  OpenTables();
  target.FieldDefs()[0].required = true;
  relations = {
      {"QTY", "CODE", "<default>"}, {"NAME", "NAME", "<default>"}, {"CODE", "QTY", "<default>"}};
  packFields = "QTY";
  auto run = StartRun();
  RunToEnd(*run);
  EXPECT_EQ(run->State(), RunState::Complete);
  EXPECT_EQ(TargetRows(), (std::vector<std::string>{"5|A|1|", "6|C|3|"}));
  EXPECT_EQ(KeyViolationRows(), (std::vector<std::string>{"|B|2|"}));
}

TEST_F(KeyViolationTest, NoDateTextIsStoredInTheKeyViolationTable) {
  // The empty-date rule is the target's; the refused record keeps the no-date value.
  CreateSource({{7, "A", 2.0, "01.02.2003"}, {7, "B", 3.0, "nonsense"}});
  CreateTarget();
  OpenTables();
  relations = {{"CODE", "CODE", "<default>"},
               {"NAME", "NAME", "<default>"},
               {"< Func >", "BORN", "CTOD(DTXT)"}};
  auto run = StartRun();
  RunToEnd(*run);
  EXPECT_EQ(run->State(), RunState::Complete);
  EXPECT_EQ(TargetRows(), (std::vector<std::string>{"7|A||01.02.2003"}));
  EXPECT_EQ(KeyViolationRows(), (std::vector<std::string>{"7|B||11.11.2011"}));
}

TEST_F(KeyViolationTest, FailedPackingLeavesTheTargetAndTheRunGoesOn) {
  // Summing CODE of the refused record into 7 gives 14, a key that exists: the packed post fails.
  CreateSource({{7, "A", 2.0, ""}, {14, "B", 1.0, ""}, {7, "C", 3.0, ""}, {9, "D", 4.0, ""}});
  CreateTarget();
  OpenTables();
  DefaultRelations();
  packFields = "QTY;CODE";
  auto run = StartRun();
  RunToEnd(*run);
  EXPECT_EQ(run->State(), RunState::Complete);
  EXPECT_TRUE(messages.texts.empty());
  EXPECT_EQ(TargetRows(), (std::vector<std::string>{"7|A|2|", "9|D|4|", "14|B|1|"}));
  EXPECT_EQ(KeyViolationRows(), (std::vector<std::string>{"7|C|3|"}));
  EXPECT_EQ(target.State(), tables::TableState::Browse);
}

TEST_F(KeyViolationTest, TableThatCannotBeCreatedStopsTheRunAndStoresNothing) {
  CreateSource({{7, "A", 2.0, ""}, {7, "C", 3.0, ""}, {8, "D", 4.0, ""}});
  CreateTarget();
  OpenTables();
  DefaultRelations();
  tables::StorageFactory failing = tables::StorageFactory::Files();
  failing.create =
      [](const std::filesystem::path&, tables::TableType, const std::vector<tables::FieldDef>&,
         const std::vector<tables::IndexDef>&) -> std::unique_ptr<tables::TableStorage> {
    throw tables::TableError("Disk full");
  };
  TTable unwritable(failing);
  ConversionInputs inputs = Inputs();
  inputs.keyViolations = &unwritable;
  ConversionRun run(inputs);
  ASSERT_TRUE(run.Show());
  ASSERT_TRUE(run.Start());
  RunToEnd(run);
  EXPECT_EQ(run.State(), RunState::Failed);
  EXPECT_EQ(messages.texts,
            (std::vector<std::string>{"Source record 2 could not be stored: Disk full"}));
  EXPECT_EQ(run.RefusedCount(), 1u);
  EXPECT_FALSE(unwritable.Active());
  EXPECT_EQ(TargetRows(), (std::vector<std::string>{"7|A|2|"}));
  EXPECT_EQ(target.State(), tables::TableState::Browse);
  // The source moved past the refused record.
  EXPECT_EQ(source.FieldByName("NAME").AsString(), "D");
}

TEST_F(KeyViolationTest, KeyViolationPostErrorsRaiseAndOnlyRunPostsAreCaptured) {
  CreateSource({{7, "A", 2.0, ""}, {7, "C", 3.0, ""}, {8, "D", 4.0, ""}});
  CreateTarget();
  OpenTables();
  DefaultRelations();
  auto run = StartRun();
  RunToEnd(*run);
  ASSERT_TRUE(keyViolations.Active());
  tables::PostErrorAction action = tables::PostErrorAction::Fail;
  ASSERT_TRUE(keyViolations.OnPostError());
  action = tables::PostErrorAction::Abort;
  keyViolations.OnPostError()(keyViolations, tables::TableError("refused"), action);
  EXPECT_EQ(action, tables::PostErrorAction::Fail);
  EXPECT_EQ(TargetRows(), (std::vector<std::string>{"7|A|2|", "8|D|4|"}));

  // A post of the target outside a run is not captured: its error is raised as usual.
  target.Append();
  target.FieldByName("CODE").SetValue(tables::Value::Integer(8));
  EXPECT_THROW(target.Post(), tables::TableError);
  target.Cancel();
  EXPECT_EQ(keyViolations.QuickRecordCount(), 1u);
}

}  // namespace
}  // namespace nox::convert::test

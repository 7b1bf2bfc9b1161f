// The conversion run on real files: showing, starting, batches, completion, cancel, progress
// messages, the time estimate and the handling of records that cannot be filled.

#include "convert/conversion_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/convert/convert_test_support.h"

namespace nox::convert::test {
namespace {

std::vector<SourceRow> NumberedRows(int count) {
  std::vector<SourceRow> rows;
  for (int i = 1; i <= count; ++i)
    rows.push_back({i, std::string("N").append(std::to_string(i)), i * 1.0, ""});
  return rows;
}

TEST(SplitTablePathTest, PathNameAndExtension) {
  struct Case {
    std::string full;
    PathParts parts;
  };
  const std::vector<Case> cases = {
      {"C:\\DATA\\SALES.DB", {"C:\\DATA\\", "SALES", ".DB"}},
      {"/data/clients.dbf", {"/data/", "clients", ".dbf"}},
      {"C:SALES.DB", {"C:", "SALES", ".DB"}},
      {"ARCH.2004.DBF", {"", "ARCH", ".DBF"}},
      {"/data/NOEXT", {"/data/", "NOEXT", ""}},
      {"", {"", "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.full);
    const PathParts parts = SplitTablePath(c.full);
    EXPECT_EQ(parts.path, c.parts.path);
    EXPECT_EQ(parts.name, c.parts.name);
    EXPECT_EQ(parts.extension, c.parts.extension);
  }
}

TEST(RunArithmeticTest, RoundedPercentRoundsHalvesToEven) {
  struct Case {
    std::size_t position, maximum;
    int percent;
  };
  const std::vector<Case> cases = {{0, 5, 0},   {5, 5, 100}, {1, 8, 12},    {3, 8, 38},
                                   {1, 200, 0}, {3, 200, 2}, {19, 200, 10}, {50, 100, 50},
                                   {7, 0, 0},   {2, 3, 67}};
  for (const Case& c : cases) {
    EXPECT_EQ(ConversionRun::RoundedPercent(c.position, c.maximum), c.percent)
        << c.position << "/" << c.maximum;
  }
}

TEST(RunArithmeticTest, RemainingMinutesIsCutAndPlusOne) {
  struct Case {
    std::int64_t elapsed;
    std::size_t maximum, position;
    std::string text;
  };
  const std::vector<Case> cases = {{0, 100, 50, "1"},
                                   {30, 100, 50, "1"},
                                   {150, 100, 50, "3"},
                                   {60, 100, 50, "2"},
                                   {119, 100, 50, "2"},
                                   {10, 100, 100, "1"},
                                   {3600, 1000, 1, "59941"},
                                   {5, 100, 0, ""},
                                   // The product does not overflow 32 bits.
                                   {100000, 3000000, 1, "4999998334"}};
  for (const Case& c : cases) {
    EXPECT_EQ(ConversionRun::RemainingMinutes(c.elapsed, c.maximum, c.position), c.text)
        << c.elapsed << " " << c.maximum << " " << c.position;
  }
}

class ShowTest : public ConversionFixture {};

TEST_F(ShowTest, ReadsPathsAndOptions) {
  CreateSource({});
  CreateTarget();
  OpenTables();
  description.SetValue(convert::DescriptionLine::ClearTarget, "true");
  description.SetValue(convert::DescriptionLine::Latvian, "TRUE ");
  auto run = MakeRun();
  ASSERT_TRUE(run->Show());
  EXPECT_EQ(run->State(), RunState::Ready);
  EXPECT_EQ(run->SourceParts().path, Dir() + "/");
  EXPECT_EQ(run->SourceParts().name, "CLIENTS");
  EXPECT_EQ(run->SourceParts().extension, ".DBF");
  EXPECT_EQ(run->TargetParts().name, "CUSTOMER");
  EXPECT_EQ(run->TargetParts().extension, ".DB");
  EXPECT_TRUE(run->ClearOption());
  EXPECT_FALSE(run->LatvianOption());  // "TRUE " is not "TRUE"
  EXPECT_EQ(run->MessageText(), run_messages::kClickConvert);
  EXPECT_EQ(run->MessageTextColour(), MessageColour::Black);
  EXPECT_FALSE(run->TimeVisible());
  EXPECT_TRUE(messages.texts.empty());
}

TEST_F(ShowTest, MalformedLinesAreReportedAndStartIsRefused) {
  CreateSource({{1, "A", 1.0, ""}});
  CreateTarget();
  OpenTables();
  DefaultRelations();
  struct Case {
    int lineBelowFiles;  // -1: below OPTIONS
    int offset;
    std::string replacement;
    std::string message;
  };
  const std::vector<Case> cases = {
      {1, 1, "SOURCE:x", "Error in INI file!"},
      {1, 2, "TARGETS x", "Error in INI file!"},
      {-1, 2, "CLEAR=TRUE", "Error in .CNV file!"},
      {-1, 4, "LATV=TRUE", "Error in .CNV file!"},
      {-1, 1, "PACK:QTY", "Error in .CNV file!"},
      {-1, 3, "FILTER=QTY > 1", "Error in .CNV file!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.replacement);
    const convert::DescriptionText good = description;
    const int header = description.FindSection(c.lineBelowFiles > 0 ? "FILES" : "OPTIONS");
    description.lines[static_cast<std::size_t>(header + c.offset)] = c.replacement;
    messages.texts.clear();
    auto run = MakeRun();
    EXPECT_FALSE(run->Show());
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.texts[0], c.message);
    EXPECT_EQ(messages.kinds[0], host::MessageKind::Error);
    EXPECT_FALSE(run->Start());
    EXPECT_EQ(target.QuickRecordCount(), 0u);
    description = good;
    EXPECT_TRUE(run->Show());  // repaired: the same run can start
    EXPECT_TRUE(run->Start());
    EXPECT_EQ(run->Cancel(), true);
  }
}

class ConversionRunTest : public ConversionFixture {};

TEST_F(ConversionRunTest, ConvertsEveryRecordAndShowsTheCounts) {
  CreateSource({{3, "Cc", 1.5, ""}, {1, "Aa", 2.0, ""}, {2, "Bb", std::nullopt, ""}});
  CreateTarget();
  AddTargetRecord(10, "Old", 1.0);
  OpenTables();
  DefaultRelations();
  auto run = MakeRun();
  ASSERT_TRUE(run->Show());
  ASSERT_TRUE(run->Start());
  EXPECT_EQ(run->State(), RunState::Running);
  EXPECT_EQ(run->MessageText(), run_messages::kPassMinutes);
  EXPECT_TRUE(run->CountsVisible());
  EXPECT_EQ(run->SourceCount(), 3u);
  EXPECT_EQ(run->TargetCount(), 1u);
  EXPECT_TRUE(run->TimeVisible());
  EXPECT_EQ(run->TimeText(), "");
  EXPECT_EQ(RunToEnd(*run), 1);
  EXPECT_EQ(run->State(), RunState::Complete);
  EXPECT_EQ(run->MessageText(), run_messages::kComplete);
  EXPECT_EQ(run->MessageTextColour(), MessageColour::Green);
  EXPECT_EQ(run->ProcessedCount(), 3u);
  EXPECT_EQ(run->ShownProcessedCount(), 3u);
  EXPECT_EQ(run->TargetCount(), 4u);
  EXPECT_EQ(run->KeyViolationCount(), 0u);
  EXPECT_FALSE(run->KeyViolationsVisible());
  EXPECT_FALSE(run->TimeVisible());
  EXPECT_EQ(observer.completions, 1);
  EXPECT_TRUE(observer.pokes.empty());  // not in DDE mode
  EXPECT_FALSE(keyViolations.Active());
  EXPECT_FALSE(std::filesystem::exists(dir / "CUSTOMKV.DB"));
  EXPECT_EQ(TargetRows(),
            (std::vector<std::string>{"1|Aa|2|", "2|Bb||", "3|Cc|1.5|", "10|Old|1|"}));
}

TEST_F(ConversionRunTest, ProgressMessagesInDdeMode) {
  struct Case {
    int records;
    bool automatic;
    std::vector<std::string> pokes;
  };
  const std::vector<Case> cases = {
      {100, true, {"CONV.CNV:0%", "CONV.CNV:10%", "CONV.CNV:20%", "CONV.CNV:Complete"}},
      {100, false, {"CONV.CNV:0%", "CONV.CNV:10%", "CONV.CNV:20%"}},
      {20, true, {"CONV.CNV:0%", "CONV.CNV:Complete"}},
      {0, true, {"CONV.CNV:0%", "CONV.CNV:Complete"}},
      {160,
       true,
       {"CONV.CNV:0%", "CONV.CNV:10%", "CONV.CNV:20%", "CONV.CNV:30%", "CONV.CNV:Complete"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.records);
    source.Close();
    target.Close();
    std::filesystem::remove(dir / "CLIENTS.DBF");
    CreateSource(NumberedRows(c.records));
    CreateTarget();
    OpenTables();
    DefaultRelations();
    dde = true;
    automatic = c.automatic;
    observer = RecordingObserver();
    auto run = MakeRun();
    ASSERT_TRUE(run->Show());  // automatic mode starts the run itself
    if (!c.automatic) {
      ASSERT_TRUE(run->Start());
    }
    RunToEnd(*run);
    EXPECT_EQ(run->State(), RunState::Complete);
    EXPECT_EQ(observer.pokes, c.pokes);
    EXPECT_EQ(observer.completions, 1);
    EXPECT_EQ(run->TargetCount(), static_cast<std::size_t>(c.records));
  }
}

TEST_F(ConversionRunTest, RemainingMinutesFollowTheInjectedClock) {
  CreateSource(NumberedRows(120));
  CreateTarget();
  OpenTables();
  DefaultRelations();
  nowMs = 1'000'999;  // start second 1000
  auto run = MakeRun();
  ASSERT_TRUE(run->Show());
  ASSERT_TRUE(run->Start());
  nowMs = 1'150'000;  // 150 s later: 150 * 70 / 50 / 60 = 3.5
  run->RunBatch();
  EXPECT_EQ(run->ShownProcessedCount(), 50u);
  EXPECT_EQ(run->TimeText(), "4");
  nowMs = 1'200'500;  // 200 s: 200 * 20 / 100 / 60 = 0.67
  run->RunBatch();
  EXPECT_EQ(run->TimeText(), "1");
}

TEST_F(ConversionRunTest, FilterLimitsTheSourceRecords) {
  CreateSource(NumberedRows(6));
  CreateTarget();
  OpenTables();
  DefaultRelations();
  filter = "CODE > 4";
  auto run = MakeRun();
  ASSERT_TRUE(run->Show());
  ASSERT_TRUE(run->Start());
  EXPECT_EQ(run->SourceCount(), 2u);
  RunToEnd(*run);
  EXPECT_EQ(TargetRows(), (std::vector<std::string>{"5|N5|5|", "6|N6|6|"}));
  EXPECT_TRUE(source.Filtered());  // stays set after the run

  filter.clear();  // the next run reads the filter again
  target.EmptyTable();
  ASSERT_TRUE(run->Start());
  EXPECT_FALSE(source.Filtered());
  RunToEnd(*run);
  EXPECT_EQ(run->TargetCount(), 6u);
}

TEST_F(ConversionRunTest, ClearTargetEmptiesItBeforeTheFirstRecord) {
  CreateSource(NumberedRows(2));
  CreateTarget();
  AddTargetRecord(1, "Old", 9.0);
  AddTargetRecord(50, "Old", 9.0);
  OpenTables();
  DefaultRelations();
  description.SetValue(convert::DescriptionLine::ClearTarget, "TRUE");
  auto run = MakeRun();
  ASSERT_TRUE(run->Show());
  ASSERT_TRUE(run->Start());
  EXPECT_EQ(run->TargetCount(), 2u);  // the old count until completion
  EXPECT_EQ(target.QuickRecordCount(), 0u);
  EXPECT_TRUE(target.Exclusive());
  RunToEnd(*run);
  EXPECT_EQ(run->TargetCount(), 2u);
  EXPECT_EQ(run->KeyViolationCount(), 0u);  // CODE 1 was cleared, so no refusal
  target.Close();
  target.SetExclusive(false);
  target.Open();
  EXPECT_EQ(TargetRows(), (std::vector<std::string>{"1|N1|1|", "2|N2|2|"}));
}

TEST_F(ConversionRunTest, ClearTargetHeldByAnotherUserFailsAndKeepsTheTarget) {
  CreateSource(NumberedRows(2));
  CreateTarget();
  AddTargetRecord(9, "Old", 9.0);
  OpenTables();
  DefaultRelations();
  description.SetValue(convert::DescriptionLine::ClearTarget, "TRUE");
  TTable other;
  other.SetDatabaseName(Dir());
  other.SetTableName(targetFile);
  other.Open();
  auto run = MakeRun();
  ASSERT_TRUE(run->Show());
  EXPECT_FALSE(run->Start());
  EXPECT_EQ(run->State(), RunState::Failed);
  ASSERT_EQ(messages.texts.size(), 1u);
  EXPECT_EQ(messages.texts[0], run->LastError());
  EXPECT_TRUE(target.Active());  // opened again, shared
  EXPECT_EQ(target.QuickRecordCount(), 1u);
  other.Close();
  EXPECT_TRUE(run->Start());  // a stopped run can be started again
}

TEST_F(ConversionRunTest, LatvianOptionConvertsFieldAndFormulaTexts) {
  // 0xFD is s caron in the DOS codes, 0xF0 in Windows-1257.
  CreateSource({{1, "a\xFD", 1.0, ""}});
  CreateTarget();
  OpenTables();
  relations = {{"CODE", "CODE", "<default>"}, {"< Func >", "NAME", "NAME+'\xFD'"}};
  for (const bool latvian : {false, true}) {
    SCOPED_TRACE(latvian);
    target.EmptyTable();
    description.SetValue(convert::DescriptionLine::Latvian, latvian ? "TRUE" : "FALSE");
    auto run = MakeRun();
    ASSERT_TRUE(run->Show());
    EXPECT_EQ(run->LatvianOption(), latvian);
    ASSERT_TRUE(run->Start());
    RunToEnd(*run);
    target.First();
    EXPECT_EQ(target.FieldByName("NAME").AsString(), latvian ? "a\xF0\xF0" : "a\xFD\xFD");
  }
  relations = {{"CODE", "CODE", "<default>"}, {"NAME", "NAME", "<default>"}};
  target.EmptyTable();
  auto run = MakeRun();
  ASSERT_TRUE(run->Show());
  ASSERT_TRUE(run->Start());
  RunToEnd(*run);
  target.First();
  EXPECT_EQ(target.FieldByName("NAME").AsString(), "a\xF0");
}

TEST_F(ConversionRunTest, NoDateTextLeavesTheDateFieldEmpty) {
  CreateSource({{1, "A", 1.0, "15.03.2004"}, {2, "B", 2.0, "nonsense"}, {3, "C", 3.0, ""}});
  CreateTarget();
  OpenTables();
  relations = {{"CODE", "CODE", "<default>"},
               {"< Func >", "NAME", "ALLTRIM(' '+NAME+'  ')"},
               {"< Func >", "BORN", "CTOD(DTXT)"}};
  auto run = MakeRun();
  ASSERT_TRUE(run->Show());
  ASSERT_TRUE(run->Start());
  RunToEnd(*run);
  EXPECT_EQ(run->State(), RunState::Complete);
  EXPECT_EQ(TargetRows(), (std::vector<std::string>{"1|A||15.03.2004", "2|B||", "3|C||"}));
  EXPECT_TRUE(messages.texts.empty());
}

TEST_F(ConversionRunTest, EmptySourceCompletesOnTheFirstTick) {
  CreateSource({});
  CreateTarget();
  OpenTables();
  DefaultRelations();
  filter.clear();
  auto run = MakeRun();
  ASSERT_TRUE(run->Show());
  ASSERT_TRUE(run->Start());
  run->RunBatch();
  EXPECT_EQ(run->State(), RunState::Complete);
  EXPECT_EQ(run->SourceCount(), 0u);
  EXPECT_EQ(run->ProcessedCount(), 0u);
  EXPECT_EQ(run->TargetCount(), 0u);
}

TEST_F(ConversionRunTest, CancelStopsBetweenBatchesAndConvertRestarts) {
  CreateSource(NumberedRows(120));
  CreateTarget();
  OpenTables();
  DefaultRelations();
  dde = true;
  auto run = MakeRun();
  ASSERT_TRUE(run->Show());
  EXPECT_FALSE(run->Cancel());  // nothing running
  ASSERT_TRUE(run->Start());
  run->RunBatch();
  EXPECT_TRUE(run->Cancel());
  EXPECT_EQ(run->State(), RunState::Cancelled);
  EXPECT_EQ(run->ProgressBarColour(), BarColour::Red);
  EXPECT_EQ(run->MessageText(), "Terminated by user ");
  EXPECT_EQ(run->MessageTextColour(), MessageColour::Red);
  EXPECT_EQ(observer.pokes.back(), "CONV.CNV: Convertation terminated by user.");
  run->RunBatch();  // no effect after a cancel
  EXPECT_EQ(target.QuickRecordCount(), 50u);
  EXPECT_EQ(run->ProcessedCount(), 50u);

  // Convert again: from the first source record; the 50 stored ones are refused now.
  ASSERT_TRUE(run->Start());
  EXPECT_EQ(run->ProgressBarColour(), BarColour::Navy);
  EXPECT_EQ(run->ProcessedCount(), 0u);
  RunToEnd(*run);
  EXPECT_EQ(run->State(), RunState::Complete);
  EXPECT_EQ(run->TargetCount(), 120u);
  EXPECT_EQ(run->KeyViolationCount(), 50u);
  EXPECT_EQ(run->RefusedCount(), 50u);
}

TEST_F(ConversionRunTest, RecordThatCannotBeFilledStopsTheRun) {
  struct Case {
    RunRelation failing;
    std::string message;
    std::vector<std::string> rowsAfterRetry;
  };
  // NAME holds "5", "7", "x", "9": the third record fails.
  const std::vector<Case> cases = {
      {{"NAME", "QTY", "<default>"},
       "'x' is not a valid floating point value",
       {"1||5|", "2||7|", "3|||", "4|||"}},
      {{"< Func >", "QTY", "100/(CODE-3)"}, "", {"1||-50|", "2||-100|", "3|||", "4|||"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failing.formula);
    std::filesystem::remove(dir / "CLIENTS.DBF");
    source.Close();
    target.Close();
    CreateSource({{1, "5", 1.0, ""}, {2, "7", 1.0, ""}, {3, "x", 1.0, ""}, {4, "9", 1.0, ""}});
    CreateTarget();
    OpenTables();
    relations = {{"CODE", "CODE", "<default>"}, c.failing};
    messages.texts.clear();
    auto run = MakeRun();
    ASSERT_TRUE(run->Show());
    ASSERT_TRUE(run->Start());
    RunToEnd(*run);
    EXPECT_EQ(run->State(), RunState::Failed);
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_EQ(messages.kinds[0], host::MessageKind::Error);
    EXPECT_EQ(messages.texts[0], run->LastError());
    EXPECT_FALSE(run->LastError().empty());
    EXPECT_NE(run->LastError().find(c.message), std::string::npos) << run->LastError();
    EXPECT_EQ(run->MessageText(), run->LastError());
    EXPECT_EQ(run->MessageTextColour(), MessageColour::Red);
    EXPECT_EQ(run->ProcessedCount(), 2u);
    // The two records before stay; the half-filled third one was dropped.
    EXPECT_EQ(target.QuickRecordCount(), 2u);
    EXPECT_EQ(target.State(), tables::TableState::Browse);

    // Started again with the relation repaired: the two stored ones are refused, the rest added.
    relations = {{"CODE", "CODE", "<default>"}};
    ASSERT_TRUE(run->Start());
    RunToEnd(*run);
    EXPECT_EQ(run->State(), RunState::Complete);
    EXPECT_EQ(run->TargetCount(), 4u);
    EXPECT_EQ(TargetRows(), c.rowsAfterRetry);
    keyViolations.Close();
  }
}

TEST_F(ConversionRunTest, StartErrorsNameTheCauseAndWriteNothing) {
  CreateSource(NumberedRows(3));
  CreateTarget();
  AddTargetRecord(77, "Old", 1.0);
  OpenTables();
  description.SetValue(convert::DescriptionLine::ClearTarget, "TRUE");
  struct Case {
    std::vector<RunRelation> relations;
    std::string filter;
    std::string pack;
    std::string message;
  };
  const std::vector<RunRelation> good = {{"CODE", "CODE", "<default>"}};
  const std::vector<Case> cases = {
      {{{"NOPE", "CODE", "<default>"}}, "", "", "Source field 'NOPE' not found"},
      {{{"CODE", "NOPE", "<default>"}}, "", "", "Target field 'NOPE' not found"},
      {good, "", "QTY;WHAT", "Pack field 'WHAT' is not a field of the target table"},
      {good, "NOSUCH > 1", "", "NOSUCH"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    relations = c.relations;
    filter = c.filter;
    packFields = c.pack;
    messages.texts.clear();
    auto run = MakeRun();
    ASSERT_TRUE(run->Show());
    EXPECT_FALSE(run->Start());
    EXPECT_EQ(run->State(), RunState::Failed);
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_NE(messages.texts[0].find(c.message), std::string::npos) << messages.texts[0];
    EXPECT_EQ(target.QuickRecordCount(), 1u);  // not cleared
  }
}

// A target that cannot be written at all is not a stream of refusals: the run stops before its
// first record, names the cause, and neither the tables nor the key-violation table change.
TEST_F(ConversionRunTest, TablesThatCannotBeWrittenStopTheRunBeforeTheFirstRecord) {
  struct Case {
    std::string name;
    std::string sourceFile;  // the file the source table opens
    std::string targetFile;
    bool heldElsewhere;  // another holder keeps the target open
    std::string message;
  };
  const std::vector<Case> cases = {
      {"held by another", "CLIENTS.DBF", "CUSTOMER.DB", true, "locked by another program"},
      {"source is the target", "./CUSTOMER.DB", "CUSTOMER.DB", false,
       "Can't convert Source to itself!"},
      {"key-violation table is the source", "CUSTOMKV.DB", "CUSTOMER.DB", false,
       "'CUSTOMKV.DB' of the target is the source table"},
      {"target is its own key-violation table", "CLIENTS.DBF", "CUSTOMKV.DB", false,
       "'CUSTOMKV.DB' is its own key-violation table"},
  };
  CreateSource(NumberedRows(3));
  for (const std::string file : {"CUSTOMER.DB", "CUSTOMKV.DB"}) {
    targetFile = file;
    CreateTarget();
    AddTargetRecord(7, "Old", 1.0);
  }
  DefaultRelations();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    targetFile = c.targetFile;
    description = convert::DescriptionText::NewTemplate(c.sourceFile, c.targetFile);
    source.Close();
    target.Close();
    source.SetDatabaseName(Dir());
    source.SetTableName(c.sourceFile);
    source.Open();
    target.SetDatabaseName(Dir());
    target.SetTableName(c.targetFile);
    target.Open();
    TTable other;
    if (c.heldElsewhere) {
      other.SetDatabaseName(Dir());
      other.SetTableName(c.targetFile);
      other.Open();
    }
    messages.texts.clear();
    auto run = MakeRun();
    ASSERT_TRUE(run->Show());
    EXPECT_FALSE(run->Start());
    EXPECT_EQ(run->State(), RunState::Failed);
    EXPECT_EQ(run->Failure(), RunFailure::TableUnavailable);
    ASSERT_EQ(messages.texts.size(), 1u);
    EXPECT_NE(messages.texts[0].find(c.message), std::string::npos) << messages.texts[0];
    EXPECT_EQ(target.QuickRecordCount(), 1u);
    EXPECT_FALSE(keyViolations.Active());
    EXPECT_TRUE(std::filesystem::exists(dir / "CUSTOMKV.DB"));
  }
}

// A value too wide for its field is refused by the target and by the key-violation table of the
// same structure: the record can be stored nowhere, so the run stops and says which one it was.
TEST_F(ConversionRunTest, ValueNeitherTableCanHoldStopsTheRunNamingIt) {
  CreateSource({{1, "A", 5.0, ""}, {2, "B", 12345.0, ""}, {3, "C", 7.0, ""}});
  targetFile = "NARROW.DBF";
  description = convert::DescriptionText::NewTemplate(SourcePath(), TargetPath());
  {
    TTable table;
    table.SetDatabaseName(Dir());
    table.SetTableName(targetFile);
    FieldDef qty{"QTY", FieldType::Float};
    qty.nativeType = 'N';
    qty.nativeWidth = 3;
    table.FieldDefs() = {{"CODE", FieldType::Integer}, qty};
    table.CreateTable();
  }
  OpenTables();
  relations = {{"CODE", "CODE", "<default>"}, {"QTY", "QTY", "<default>"}};
  auto run = MakeRun();
  ASSERT_TRUE(run->Show());
  ASSERT_TRUE(run->Start());
  RunToEnd(*run);
  EXPECT_EQ(run->State(), RunState::Failed);
  EXPECT_EQ(run->Failure(), RunFailure::Error);
  for (const char* part : {"Source record 2", "QTY", "12345", "NARROWKV.DBF"}) {
    EXPECT_NE(run->LastError().find(part), std::string::npos) << part << ": " << run->LastError();
  }
  EXPECT_EQ(TargetRows(), (std::vector<std::string>{"1|5"}));
  EXPECT_EQ(keyViolations.QuickRecordCount(), 0u);
}

TEST_F(ConversionRunTest, RelationsEditedBetweenRunsAreUsed) {
  CreateSource({{1, "Ann", 1.0, ""}, {2, "Bob", 2.0, ""}});
  CreateTarget();
  OpenTables();
  description.SetValue(convert::DescriptionLine::ClearTarget, "TRUE");
  relations = {{"CODE", "CODE", "<default>"}, {"< Func >", "NAME", "LEFT(NAME,2)"}};
  auto run = MakeRun();
  ASSERT_TRUE(run->Show());
  ASSERT_TRUE(run->Start());
  RunToEnd(*run);
  target.First();
  EXPECT_EQ(target.FieldByName("NAME").AsString(), "An");

  relations = {
      {"CODE", "CODE", "<default>"}, {"< Func >", "NAME", "NAME+'!'"}, {"QTY", "QTY", "<default>"}};
  ASSERT_TRUE(run->Start());
  RunToEnd(*run);
  std::vector<std::string> rows;
  for (target.First(); !target.Eof(); target.Next())
    rows.push_back(target.FieldByName("NAME").AsString() + "/" +
                   target.FieldByName("QTY").AsString());
  EXPECT_EQ(rows, (std::vector<std::string>{"Ann!/1", "Bob!/2"}));
}

// A message shown inside a batch (the operator may press Convert again or the timer may fire
// while it is open) must not start another batch or another run on the same records.
class ReentrantSink : public host::MessageSink {
 public:
  void ShowMessage(host::MessageKind, std::string_view) override {
    const std::size_t before = target->QuickRecordCount();
    nestedStart = run->Start();
    run->RunBatch();
    nestedRecords = target->QuickRecordCount() - before;
    ++shown;
  }
  ConversionRun* run = nullptr;
  TTable* target = nullptr;
  bool nestedStart = true;
  std::size_t nestedRecords = 99;
  int shown = 0;
};

TEST_F(ConversionRunTest, BatchesNeverOverlap) {
  CreateSource({{1, "5", 1.0, ""}, {2, "x", 1.0, ""}, {3, "7", 1.0, ""}});
  CreateTarget();
  OpenTables();
  relations = {{"CODE", "CODE", "<default>"}, {"NAME", "QTY", "<default>"}};
  auto run = MakeRun();
  ReentrantSink sink;
  sink.run = run.get();
  sink.target = &target;
  host::MessageSink* previous = host::SetMessageSink(&sink);
  ASSERT_TRUE(run->Show());
  ASSERT_TRUE(run->Start());
  run->RunBatch();
  host::SetMessageSink(previous);
  EXPECT_EQ(sink.shown, 1);
  EXPECT_FALSE(sink.nestedStart);
  EXPECT_EQ(sink.nestedRecords, 0u);
  EXPECT_EQ(run->State(), RunState::Failed);
  EXPECT_EQ(target.QuickRecordCount(), 1u);
  EXPECT_TRUE(run->Start());  // once the batch has ended
}

}  // namespace
}  // namespace nox::convert::test

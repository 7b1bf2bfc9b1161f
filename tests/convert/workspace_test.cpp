// The workspace against real tables in a temporary directory: the load sequence with its
// messages, the lists and marks, availability, and the editing operations against the text.

#include "convert/workspace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "formula/exchange_rate.h"
#include "tests/support/host_test_support.h"
#include "tests/support/temp_dir.h"

namespace nox::convert {
namespace {

using Lines = std::vector<std::string>;
using nox::test::CapturedMessages;
using tables::FieldType;

const std::string kMark(kLinkMark);

class RecordingStatus : public StatusIndicator {
 public:
  void ShowReady() override { events.push_back("ready"); }
  void ShowError() override { events.push_back("error"); }
  std::vector<std::string> events;
};

class WorkspaceTest : public ::testing::Test {
 protected:
  WorkspaceTest() {
    CreateTable("CLIENTS.DB", {{"CODE", FieldType::Integer},
                               {"NAME", FieldType::String, 20},
                               {"PRICE", FieldType::Currency},
                               {"DAY", FieldType::Date},
                               {"OK", FieldType::Boolean},
                               {"QTY", FieldType::SmallInt}});
    CreateTable("PARTNERS.DBF", {{"CODE", FieldType::Float},
                                 {"CLNAME", FieldType::String, 30},
                                 {"NOTE", FieldType::String, 40}});
    workspace.SetStatusIndicator(&status);
  }

  void CreateTable(const std::string& name, std::vector<tables::FieldDef> fields,
                   const std::filesystem::path& directory = {}) {
    tables::TTable table;
    table.SetDatabaseName((directory.empty() ? dir.path() : directory).string() + "/");
    table.SetTableName(name);
    table.FieldDefs() = std::move(fields);
    table.CreateTable();
  }

  std::string PathOf(const std::string& name) const { return (dir / name).string(); }

  // The template for CLIENTS.DB into PARTNERS.DBF, followed by the relation lines.
  Lines Description(const Lines& relations = {}) const {
    Lines lines = DescriptionText::NewTemplate(PathOf("CLIENTS.DB"), PathOf("PARTNERS.DBF")).lines;
    lines.insert(lines.end(), relations.begin(), relations.end());
    return lines;
  }

  std::string Write(const Lines& lines, const std::string& name = "conv.cnv") {
    DescriptionText text;
    text.lines = lines;
    text.WriteFile(dir / name);
    return PathOf(name);
  }

  bool LoadLines(const Lines& lines) { return workspace.Load(Write(lines)); }

  static std::vector<std::string> Marks(const FieldList& list) {
    std::vector<std::string> marks;
    for (const FieldRow& row : list.rows)
      marks.push_back(row.mark);
    return marks;
  }

  static std::vector<std::string> Relations(const Workspace& w) {
    std::vector<std::string> rows;
    for (const RelationRow& row : w.SGRelat.rows)
      rows.push_back(row.source + "|" + row.link + "|" + row.target);
    return rows;
  }

  test::TempDir dir;
  CapturedMessages messages;
  RecordingStatus status;
  Workspace workspace;
};

TEST_F(WorkspaceTest, LoadFillsListsRelationsDisplaysAndAvailability) {
  Lines lines = Description({"name to CLNAME", "< Func > to NOTE  < Func >=ALLTRIM(NAME)"});
  lines[10] = "PACKFIELDS:CODE";
  lines[12] = "FILTER:CODE > 1";
  ASSERT_TRUE(LoadLines(lines));
  EXPECT_TRUE(messages.texts.empty());
  EXPECT_TRUE(workspace.LoadOk);
  EXPECT_FALSE(workspace.Modified);
  EXPECT_EQ(status.events, std::vector<std::string>{"ready"});

  const std::vector<FieldRow> expectedSource = {
      {" ", "CODE", "N", "0"}, {kMark, "NAME", "A", "20"}, {" ", "PRICE", "", "0"},
      {" ", "DAY", "D", "0"},  {" ", "OK", "B", "0"},      {" ", "QTY", "S", "0"},
  };
  ASSERT_EQ(workspace.SGSource.rows.size(), expectedSource.size());
  for (std::size_t i = 0; i < expectedSource.size(); ++i) {
    const FieldRow& row = workspace.SGSource.rows[i];
    EXPECT_EQ(row.mark + row.name + "/" + row.type + "/" + row.size,
              expectedSource[i].mark + expectedSource[i].name + "/" + expectedSource[i].type + "/" +
                  expectedSource[i].size)
        << i;
  }
  EXPECT_EQ(Marks(workspace.SGTarget), (std::vector<std::string>{" ", kMark, kMark}));
  EXPECT_EQ(workspace.SGTarget.rows[1].size, "30");
  EXPECT_EQ(Relations(workspace),
            (std::vector<std::string>{"name|<-->|CLNAME", "< Func >|<-->|NOTE", "||"}));
  EXPECT_EQ(workspace.LBFunc, (Lines{"<default>", "ALLTRIM(NAME)"}));
  EXPECT_EQ(workspace.EditPack, "CODE");
  EXPECT_EQ(workspace.EditFilter, "CODE > 1");
  EXPECT_EQ(workspace.LSourceName, "CLIENTS.DB");
  std::string upperDir = dir.path().string() + "/";
  for (char& c : upperDir)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(workspace.LSourcePath, upperDir);
  EXPECT_EQ(workspace.LTargetName, "PARTNERS.DBF");
  EXPECT_EQ(workspace.TableSource.GetTableType(), tables::TableType::Paradox);
  EXPECT_EQ(workspace.TableTarget.GetTableType(), tables::TableType::DBase);

  const CommandAvailability& c = workspace.Commands;
  EXPECT_FALSE(c.save);
  EXPECT_TRUE(c.saveAs && c.convertation && c.convertationOptions && c.viewIniFile &&
              c.changeBases && c.sbSave && c.sbConvert);
  EXPECT_TRUE(workspace.SGSource.enabled && workspace.SGTarget.enabled &&
              workspace.SGRelat.enabled && workspace.SGRelat.visible);
  EXPECT_FALSE(workspace.BBAdd.enabled || workspace.BBDelete.enabled ||
               workspace.BBFunction.enabled);
  EXPECT_EQ(workspace.Caption, "conv.cnv - NOX Base Convertation");
  EXPECT_EQ(workspace.Title, "NOX Base Convertation - conv.cnv");
}

struct LoadFailureCase {
  const char* name;
  Lines lines;  // "$S"/"$T" stand for the source/target table paths
  Lines messages;
  bool loadOk;
  bool locked;  // lists disabled, only Change bases offered
  bool relationsRead;
};

TEST_F(WorkspaceTest, LoadFailuresReportTheirMessages) {
  const Lines options = {"OPTIONS", "PACKFIELDS:", "CLEARTARGET=FALSE", "FILTER:", "LATVIAN=TRUE"};
  auto with = [&](Lines head, const Lines& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  const Lines files = {"FILES", "SOURCE=$S", "TARGET=$T"};
  const std::string missing = PathOf("GONE.DB");
  const LoadFailureCase cases[] = {
      {"source key missing",
       {"FILES", "SRC=$S", "TARGET=$T"},
       {"Error in *.CNV file!  Source file not defined."},
       false,
       false,
       false},
      {"text ends at FILES",
       {"x", "FILES"},
       {"Error in *.CNV file!  Source file not defined."},
       false,
       false,
       false},
      {"key not in the first column",
       {"FILES", " SOURCE=$S", "TARGET=$T"},
       {"Error in *.CNV file!  Source file not defined."},
       false,
       false,
       false},
      {"target key missing",
       {"FILES", "SOURCE=$S", "TARGET:$T"},
       {"Error in *.CNV file! Target file not defined."},
       false,
       false,
       false},
      {"text ends after SOURCE",
       {"FILES", "SOURCE=$S"},
       {"Error in *.CNV file! Target file not defined."},
       false,
       false,
       false},
      {"source file missing",
       with({"FILES", "SOURCE=" + missing, "TARGET=$T"}, options),
       {"Table does not exist. File: " + missing + "\r\rChange Source file."},
       false,
       true,
       false},
      {"target file missing",
       with({"FILES", "SOURCE=$S", "TARGET=" + missing}, options),
       {"\rTable does not exist. File: " + missing + "\r\rChange Target file."},
       false,
       true,
       false},
      {"no OPTIONS section",
       with(files, {"RELATIONS", "NAME to CLNAME"}),
       {"Error in .CNV file!"},
       true,
       false,
       true},
      {"FILTER line malformed",
       with(files, {"OPTIONS", "PACKFIELDS:", "CLEARTARGET=FALSE", "FILTER=", "RELATIONS"}),
       {"Error in .CNV file!"},
       true,
       false,
       true},
      {"unknown source field",
       with(with(files, options), {"RELATIONS", "NAMEX to CLNAME"}),
       {"Not found field NAMEX in Source file.\rChange Source file."},
       false,
       true,
       false},
      {"unknown target field",
       with(with(files, options), {"RELATIONS", "NAME to CLNAME", "CODE to NOPE"}),
       {"Not found field NOPE in Target file.\rChange Target file."},
       false,
       true,
       false},
      {"unknown formula target",
       with(with(files, options), {"RELATIONS", "< Func > to NOPE  < Func >=1"}),
       {"Not found field NOPE in Target file.\rChange Target file."},
       false,
       true,
       false},
      {"blank line after RELATIONS",
       with(with(files, options), {"RELATIONS", ""}),
       {"Not found field  in Source file.\rChange Source file."},
       false,
       true,
       false},
      {"\" to \" in a source name is cut there",
       with(with(files, options), {"RELATIONS", "NA to ME to CLNAME"}),
       {"Not found field NA in Source file.\rChange Source file."},
       false,
       true,
       false},
      {"header with a trailing space is no header",
       with({"FILES "}, with({"SOURCE=$S", "TARGET=$T"}, options)),
       {"Error in *.CNV file!  Source file not defined."},
       false,
       false,
       false},
  };
  for (const LoadFailureCase& c : cases) {
    SCOPED_TRACE(c.name);
    Workspace w;
    messages.texts.clear();
    Lines lines = c.lines;
    for (std::string& line : lines) {
      if (line.ends_with("$S")) line.replace(line.size() - 2, 2, PathOf("CLIENTS.DB"));
      if (line.ends_with("$T")) line.replace(line.size() - 2, 2, PathOf("PARTNERS.DBF"));
    }
    ASSERT_TRUE(w.Load(Write(lines)));
    EXPECT_EQ(messages.texts, c.messages);
    EXPECT_EQ(w.LoadOk, c.loadOk);
    EXPECT_EQ(w.CFile.lines, lines);  // a failed read leaves the text as read
    EXPECT_EQ(!w.Commands.convertationOptions, c.locked);
    EXPECT_EQ(w.Commands.changeBases, true);
    EXPECT_EQ(w.Commands.convertation, c.relationsRead);
    if (c.locked) {
      EXPECT_FALSE(w.SGSource.enabled || w.SGTarget.enabled || w.SGRelat.enabled);
      EXPECT_FALSE(w.Commands.save || w.Commands.saveAs || w.Commands.convertationOptions ||
                   w.Commands.viewIniFile || w.Commands.sbSave || w.Commands.sbConvert);
    }
    EXPECT_EQ(w.SGRelat.rows.back().source, "");  // the last row is always empty
  }
}

TEST_F(WorkspaceTest, MissingSourceStillOpensTheTargetAndLocks) {
  Lines lines = Description();
  lines[6] = "SOURCE=" + PathOf("GONE.DB");
  LoadLines(lines);
  EXPECT_FALSE(workspace.TableSource.Active());
  EXPECT_TRUE(workspace.TableTarget.Active());
  EXPECT_EQ(workspace.LTargetName, "PARTNERS.DBF");
  EXPECT_TRUE(workspace.Commands.saveAs == false && workspace.Commands.changeBases);
  EXPECT_EQ(status.events, (std::vector<std::string>{"error", "ready"}));
}

TEST_F(WorkspaceTest, AFailedLoadAfterAGoodOneDoesNotKeepThePreviousTable) {
  ASSERT_TRUE(LoadLines(Description({"NAME to CLNAME"})));
  Lines lines = Description();
  lines[6] = "SOURCE=" + PathOf("GONE.DB");
  LoadLines(lines);
  EXPECT_FALSE(workspace.TableSource.Active());
  EXPECT_FALSE(workspace.Commands.convertation);
  EXPECT_FALSE(workspace.LoadOk);
}

TEST_F(WorkspaceTest, ADamagedTableIsReportedWithoutCrashing) {
  {
    std::ofstream out(dir / "BROKEN.DB", std::ios::binary);
    out << "not a table at all";
  }
  Lines lines = Description({"NAME to CLNAME"});
  lines[6] = "SOURCE=" + PathOf("BROKEN.DB");
  LoadLines(lines);
  ASSERT_EQ(messages.texts.size(), 1u);
  EXPECT_FALSE(messages.texts[0].empty());
  EXPECT_FALSE(workspace.LoadOk);
  EXPECT_FALSE(workspace.SGSource.enabled);
  EXPECT_FALSE(workspace.Commands.convertation);
  EXPECT_EQ(workspace.SGRelat.RelationCount(), 0);
}

TEST_F(WorkspaceTest, HeadersAreFoundWithoutRegardToCase) {
  Lines lines = Description({"NAME to clname"});
  lines[5] = "files";
  lines[9] = "Options";
  lines[15] = "relations";
  ASSERT_TRUE(LoadLines(lines));
  EXPECT_TRUE(messages.texts.empty());
  EXPECT_EQ(Marks(workspace.SGTarget), (std::vector<std::string>{" ", kMark, " "}));
}

TEST_F(WorkspaceTest, TableTypeFollowsTheTextAfterTheFirstDot) {
  CreateTable("ARCHIVE.DB", {{"NAME", FieldType::String, 20}});
  CreateTable("ARCHIVE.DBF", {{"CLNAME", FieldType::String, 20}});
  struct Case {
    std::string source;
    tables::TableType type;
  };
  const Case cases[] = {
      {"ARCHIVE.DB", tables::TableType::Paradox},
      {"ARCHIVE.DBF", tables::TableType::DBase},
      {"ARCHIVE.OLD.DBF", tables::TableType::Default},
  };
  // The old file must exist for the type to be set; its content is the engine's problem.
  std::filesystem::copy_file(dir / "ARCHIVE.DBF", dir / "ARCHIVE.OLD.DBF");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    Workspace w;
    Lines lines = Description();
    lines[6] = "SOURCE=" + PathOf(c.source);
    w.Load(Write(lines));
    EXPECT_EQ(w.TableSource.GetTableType(), c.type);
    EXPECT_EQ(w.LSourceName, c.source);
  }
}

TEST_F(WorkspaceTest, CallerDirectoriesReplaceStoredOnesOnlyWithExactlyTwoLines) {
  const auto other = dir.path() / "other";
  std::filesystem::create_directories(other);
  CreateTable("CLIENTS.DB", {{"ONLY", FieldType::String, 5}}, other);
  CreateTable("PARTNERS.DBF", {{"ONLY", FieldType::String, 5}}, other);
  const std::string otherDir = other.string() + "/";
  struct Case {
    const char* name;
    bool ddeLink;
    Lines pathLines;
    std::string firstSourceField;
  };
  const Case cases[] = {
      {"two lines", true, {otherDir, otherDir}, "ONLY"},
      {"three lines", true, {otherDir, otherDir, otherDir}, "CODE"},
      {"one line", true, {otherDir}, "CODE"},
      {"no link", false, {otherDir, otherDir}, "CODE"},
  };
  const std::string path = Write(Description());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Workspace w;
    w.DdeLink = c.ddeLink;
    w.DdePathLines = c.pathLines;
    ASSERT_TRUE(w.Load(path));
    ASSERT_FALSE(w.SGSource.rows.empty());
    EXPECT_EQ(w.SGSource.rows[0].name, c.firstSourceField);
    EXPECT_EQ(w.CFile.lines[6], "SOURCE=" + PathOf("CLIENTS.DB"));  // never written back
  }
}

TEST_F(WorkspaceTest, ReadingAMissingDescriptionNamesItAndKeepsTheText) {
  ASSERT_TRUE(LoadLines(Description()));
  const Lines before = workspace.CFile.lines;
  EXPECT_FALSE(workspace.Load(PathOf("nothing.cnv")));
  EXPECT_EQ(messages.texts, Lines{"Cannot open file " + PathOf("nothing.cnv")});
  EXPECT_EQ(workspace.CFile.lines, before);
  EXPECT_EQ(workspace.CnvFileName, PathOf("conv.cnv"));
}

TEST_F(WorkspaceTest, OptionsForTheDialogFollowTheStoredLines) {
  struct Case {
    std::string clear;
    std::string latvian;
    bool clearTarget;
    bool convertLatvian;
  };
  const Case cases[] = {
      {"CLEARTARGET=true", "LATVIAN=FALSE", true, false},
      {"CLEARTARGET=TRUE ", "LATVIAN=TRUE", false, true},
      {"CLEARTARGET=FALSE", "LATVIAN=True", false, true},
  };
  for (const Case& c : cases) {
    Lines lines = Description();
    lines[11] = c.clear;
    lines[13] = c.latvian;
    workspace.CFile.lines = lines;
    ConvertationOptions options;
    ASSERT_TRUE(workspace.ReadOptions(options)) << c.clear;
    EXPECT_EQ(options.clearTarget, c.clearTarget) << c.clear;
    EXPECT_EQ(options.latvian, c.convertLatvian) << c.latvian;
  }
  EXPECT_TRUE(messages.texts.empty());

  workspace.CFile.lines = Description();
  workspace.CFile.lines[12] = "FILTR:x";
  ConvertationOptions partial;
  partial.packFields = "?";
  EXPECT_FALSE(workspace.ReadOptions(partial));
  EXPECT_EQ(partial.packFields, "");  // filled up to the malformed line
  EXPECT_EQ(messages.texts, Lines{"Error in file!"});
}

TEST_F(WorkspaceTest, WorkspaceHandsTheExchangeRateTableOverAndBack) {
  {
    Workspace w;
    EXPECT_EQ(formula::ExchangeRateTable(), &w.TablKursVal);
    EXPECT_EQ(w.TablKursVal.DatabaseName(), "Vexal");
    EXPECT_EQ(w.TablKursVal.TableName(), "KursVal.DB");
    EXPECT_EQ(w.TablKursVal.IndexFieldNames(), "ValKod;DataKon");
    EXPECT_EQ(w.TableKeyViol.Name(), "TableKeyViol");
  }
  EXPECT_EQ(formula::ExchangeRateTable(), nullptr);
}

// --- Editing against the text ---

TEST_F(WorkspaceTest, AddAppendsTheLineMarksBothFieldsAndModifies) {
  ASSERT_TRUE(LoadLines(Description({"CODE to CODE"})));
  workspace.AddFieldRelation(1, 1);  // NAME into CLNAME
  EXPECT_EQ(workspace.CFile.lines.back(), "NAME to CLNAME");
  EXPECT_EQ(workspace.CFile.lines.size(), 18u);
  EXPECT_EQ(Relations(workspace),
            (std::vector<std::string>{"CODE|<-->|CODE", "NAME|<-->|CLNAME", "||"}));
  EXPECT_EQ(workspace.LBFunc, (Lines{"<default>", "<default>"}));
  EXPECT_EQ(workspace.SGSource.rows[1].mark, kMark);
  EXPECT_EQ(workspace.SGTarget.rows[1].mark, kMark);
  EXPECT_EQ(workspace.SGRelat.selected, 1);
  EXPECT_TRUE(workspace.Modified);
  EXPECT_TRUE(workspace.Commands.save);
  EXPECT_EQ(workspace.EditFunc.text, "<default>");
  EXPECT_FALSE(workspace.EditFunc.highlighted);
  EXPECT_FALSE(workspace.BBAdd.enabled);
  EXPECT_TRUE(workspace.BBDelete.enabled && workspace.BBDelete.isDefault);
  EXPECT_FALSE(workspace.BBFunction.enabled);

  // The text reads back into the same lists.
  Workspace again;
  again.CFile = workspace.CFile;
  again.RunLoadSequence();
  EXPECT_EQ(Relations(again), Relations(workspace));
}

TEST_F(WorkspaceTest, EditingRefusesWhatTheWindowWouldNotOffer) {
  ASSERT_TRUE(LoadLines(Description({"NAME to CLNAME", "< Func > to NOTE  < Func >=1"})));
  const Lines before = workspace.CFile.lines;
  struct Case {
    const char* name;
    std::function<void()> edit;
  };
  const Case cases[] = {
      {"linked source", [&] { workspace.AddFieldRelation(1, 0); }},
      {"linked target", [&] { workspace.AddFieldRelation(0, 1); }},
      {"source row out of range", [&] { workspace.AddFieldRelation(6, 0); }},
      {"negative target row", [&] { workspace.AddFieldRelation(0, -1); }},
      {"delete the empty row", [&] { workspace.DeleteRelation(2); }},
      {"relation row out of range", [&] { workspace.DeleteRelation(3); }},
      {"formula on a field relation", [&] { workspace.SetFormulaRelation(1, 0, "1"); }},
      {"formula for the wrong target", [&] { workspace.SetFormulaRelation(0, 1, "1"); }},
      {"new formula on a linked target", [&] { workspace.SetFormulaRelation(1, {}, "1"); }},
  };
  for (const Case& c : cases) {
    EXPECT_THROW(c.edit(), WorkspaceError) << c.name;
    EXPECT_EQ(workspace.CFile.lines, before) << c.name;
  }
  EXPECT_FALSE(workspace.Modified);
}

TEST_F(WorkspaceTest, ValuesWithLineBreaksAreRefusedAndNothingIsWritten) {
  ASSERT_TRUE(LoadLines(Description()));
  const Lines before = workspace.CFile.lines;
  EXPECT_FALSE(workspace.SetFormulaRelation(2, {}, "1\r\nCODE to CODE"));
  EXPECT_FALSE(workspace.ChangeOptions({"CODE", false, "x\ny", true}));
  EXPECT_FALSE(workspace.ChangeBases(PathOf("CLIENTS.DB") + "\r", PathOf("PARTNERS.DBF")));
  EXPECT_EQ(messages.texts, (Lines{"The formula must not contain a line break.",
                                   "The source filter must not contain a line break.",
                                   "The source path must not contain a line break."}));
  EXPECT_EQ(workspace.CFile.lines, before);
  EXPECT_EQ(workspace.SGTarget.rows[2].mark, " ");
}

TEST_F(WorkspaceTest, ASourceNameHoldingToCannotBeRelated) {
  CreateTable("SPACED.DB", {{"PART to X", FieldType::String, 10}});
  Lines lines = Description();
  lines[6] = "SOURCE=" + PathOf("SPACED.DB");
  ASSERT_TRUE(LoadLines(lines));
  workspace.AddFieldRelation(0, 1);
  EXPECT_EQ(messages.texts,
            Lines{"The field name PART to X contains \" to \" and cannot be related."});
  EXPECT_EQ(workspace.CFile.lines, lines);
  EXPECT_EQ(workspace.SGSource.rows[0].mark, " ");
}

TEST_F(WorkspaceTest, DeleteRemovesTheFirstEqualRelationLineIgnoringCase) {
  Lines lines = Description({"CODE to CODE", "name to clname", "NAME to CLNAME"});
  lines[0] = "NAME to CLNAME";  // a comment line of the same text is no relation
  ASSERT_TRUE(LoadLines(lines));
  workspace.DeleteRelation(2);
  Lines expected = lines;
  expected.erase(expected.begin() + 17);
  EXPECT_EQ(workspace.CFile.lines, expected);
  EXPECT_TRUE(workspace.Modified);
  EXPECT_TRUE(workspace.Commands.save);
  EXPECT_EQ(Relations(workspace),
            (std::vector<std::string>{"CODE|<-->|CODE", "NAME|<-->|CLNAME", "||"}));
  // NAME and CLNAME are still used by the remaining relation, so they keep their marks.
  EXPECT_EQ(Marks(workspace.SGSource)[1], kMark);
  EXPECT_EQ(Marks(workspace.SGTarget)[1], kMark);
  EXPECT_FALSE(workspace.BBAdd.enabled);  // the selected source is not free
  EXPECT_FALSE(workspace.BBDelete.enabled);
  EXPECT_TRUE(workspace.BBFunction.enabled && workspace.BBFunction.isDefault);
  EXPECT_EQ(workspace.EditFunc.text, "");
}

TEST_F(WorkspaceTest, DeletingTheOnlyRelationOffersAddAgainForThePair) {
  ASSERT_TRUE(LoadLines(Description({"NAME to CLNAME"})));
  workspace.DeleteRelation(0);
  EXPECT_EQ(workspace.CFile.lines, Description());
  EXPECT_EQ(Relations(workspace), std::vector<std::string>{"||"});
  EXPECT_TRUE(workspace.LBFunc.empty());
  EXPECT_EQ(Marks(workspace.SGSource), std::vector<std::string>(6, " "));
  EXPECT_EQ(Marks(workspace.SGTarget), std::vector<std::string>(3, " "));
  EXPECT_EQ(workspace.SGSource.selected, 1);
  EXPECT_EQ(workspace.SGTarget.selected, 1);
  EXPECT_TRUE(workspace.BBAdd.enabled && workspace.BBAdd.isDefault);
  workspace.BBAddClick();
  EXPECT_EQ(workspace.CFile.lines.back(), "NAME to CLNAME");
}

TEST_F(WorkspaceTest, FunctionAddsAtTheEndOrChangesInPlace) {
  ASSERT_TRUE(LoadLines(Description({"< Func > to NOTE  < Func >=ALLTRIM(NAME)", "CODE to CODE"})));
  // A new formula relation for the free target CLNAME goes to the end.
  ASSERT_TRUE(workspace.SetFormulaRelation(1, {}, "UPPER(NAME)"));
  EXPECT_EQ(workspace.CFile.lines.back(), "< Func > to CLNAME  < Func >=UPPER(NAME)");
  EXPECT_EQ(workspace.LBFunc.back(), "UPPER(NAME)");
  EXPECT_EQ(workspace.SGRelat.selected, 2);
  EXPECT_EQ(workspace.SGTarget.rows[1].mark, kMark);
  EXPECT_EQ(Marks(workspace.SGSource)[1], " ");  // a formula never marks a source field
  EXPECT_TRUE(workspace.EditFunc.highlighted);
  EXPECT_TRUE(workspace.Modified);

  // Changing the first formula rewrites its line where it stands.
  ASSERT_TRUE(workspace.SetFormulaRelation(2, 0, "LEFT(NAME, 3)"));
  EXPECT_EQ(workspace.CFile.lines[16], "< Func > to NOTE  < Func >=LEFT(NAME, 3)");
  EXPECT_EQ(workspace.CFile.lines[17], "CODE to CODE");
  EXPECT_EQ(workspace.CFile.lines.size(), 19u);
  EXPECT_EQ(workspace.LBFunc, (Lines{"LEFT(NAME, 3)", "<default>", "UPPER(NAME)"}));
  EXPECT_EQ(workspace.EditFunc.text, "LEFT(NAME, 3)");
  EXPECT_TRUE(workspace.BBDelete.enabled && workspace.BBDelete.isDefault);

  // Deleting a formula relation removes exactly its line.
  workspace.DeleteRelation(0);
  EXPECT_EQ(workspace.CFile.lines[16], "CODE to CODE");
  EXPECT_EQ(workspace.SGTarget.rows[2].mark, " ");
  EXPECT_EQ(workspace.LBFunc, (Lines{"<default>", "UPPER(NAME)"}));
}

struct ClickCase {
  const char* name;
  std::function<void(Workspace&)> clicks;
  int source, target, relation;  // selections afterwards
  bool add, addDefault, del, delDefault, function, functionDefault;
  bool sourceShowsLink, targetShowsLink;
  std::string editFunc;
};

TEST_F(WorkspaceTest, ClicksSelectPartnersAndOfferTheButtons) {
  // Relations: NAME->CLNAME, formula->NOTE, NAME->EXTRA (two relations with the same source);
  // the target CODE is free.
  CreateTable("WIDE.DBF", {{"CODE", FieldType::Float},
                           {"CLNAME", FieldType::String, 30},
                           {"NOTE", FieldType::String, 40},
                           {"EXTRA", FieldType::String, 5}});
  Lines lines = Description({"name to CLNAME", "< Func > to NOTE  < Func >=1", "NAME to EXTRA"});
  lines[7] = "TARGET=" + PathOf("WIDE.DBF");
  const std::string path = Write(lines);
  const ClickCase cases[] = {
      {"free source, then free target",
       [](Workspace& w) {
         w.SGSourceClick(0);
         w.SGTargetClick(0);
       },
       0, 0, -1, true, true, false, false, true, false, false, false, ""},
      {"free target, then free source",
       [](Workspace& w) {
         w.SGTargetClick(0);
         w.SGSourceClick(0);
       },
       0, 0, -1, true, true, false, false, true, false, false, false, ""},
      {"linked source selects the first relation", [](Workspace& w) { w.SGSourceClick(1); }, 1, 1,
       0, false, false, true, true, false, false, true, true, "<default>"},
      {"free source after a link clears the target",
       [](Workspace& w) {
         w.SGSourceClick(1);
         w.SGSourceClick(0);
       },
       0, -1, -1, false, false, false, false, false, false, false, false, ""},
      {"linked target of a formula", [](Workspace& w) { w.SGTargetClick(2); }, -1, 2, 1, false,
       false, true, true, true, true, false, true, "1"},
      {"field relation row", [](Workspace& w) { w.SGRelatClick(2); }, 1, 3, 2, false, false, true,
       true, false, false, true, true, "<default>"},
      {"formula relation row", [](Workspace& w) { w.SGRelatClick(1); }, -1, 2, 1, false, false,
       true, false, true, true, true, true, "1"},
      {"empty last row",
       [](Workspace& w) {
         w.SGRelatClick(1);
         w.SGRelatClick(3);
       },
       -1, -1, 3, false, false, false, false, false, false, false, false, ""},
  };
  for (const ClickCase& c : cases) {
    SCOPED_TRACE(c.name);
    Workspace w;
    ASSERT_TRUE(w.Load(path));
    c.clicks(w);
    EXPECT_EQ(w.SGSource.selected, c.source);
    EXPECT_EQ(w.SGTarget.selected, c.target);
    EXPECT_EQ(w.SGRelat.selected, c.relation);
    EXPECT_EQ(w.BBAdd.enabled, c.add);
    EXPECT_EQ(w.BBAdd.isDefault, c.addDefault);
    EXPECT_EQ(w.BBDelete.enabled, c.del);
    EXPECT_EQ(w.BBDelete.isDefault, c.delDefault);
    EXPECT_EQ(w.BBFunction.enabled, c.function);
    EXPECT_EQ(w.BBFunction.isDefault, c.functionDefault);
    EXPECT_EQ(w.SourceShowsLink, c.sourceShowsLink);
    EXPECT_EQ(w.TargetShowsLink, c.targetShowsLink);
    EXPECT_EQ(w.EditFunc.text, c.editFunc);
    EXPECT_EQ(w.EditFunc.highlighted, c.editFunc == "1");
  }
}

TEST_F(WorkspaceTest, ClicksOnALockedWorkspaceAreRefused) {
  LoadLines(Description({"NOPE to CODE"}));
  EXPECT_THROW(workspace.SGSourceClick(0), WorkspaceError);
  EXPECT_THROW(workspace.SGRelatClick(0), WorkspaceError);
  EXPECT_THROW(workspace.BBAddClick(), WorkspaceError);
}

// --- Options, bases, new, save ---

struct OptionsCase {
  const char* name;
  ConvertationOptions options;
  Lines messages;  // empty: written
};

TEST_F(WorkspaceTest, ChangeOptionsChecksPackFieldsAndRewritesTheFourLines) {
  const OptionsCase cases[] = {
      {"two fields", {"CODE;clname", true, "CODE > 1", false}, {}},
      {"ending in a semicolon", {"CODE;", false, "", true}, {}},
      {"empty", {"", false, "", false}, {}},
      {"unknown field", {"CODE;NOPE", true, "", true}, {"Field 'NOPE' not found"}},
      {"leading semicolon", {";CODE", true, "", true}, {"Field '' not found"}},
      {"two semicolons", {"CODE;;NOTE", true, "", true}, {"Field '' not found"}},
  };
  for (const OptionsCase& c : cases) {
    SCOPED_TRACE(c.name);
    Workspace w;
    ASSERT_TRUE(w.Load(Write(Description({"CODE to CODE"}))));
    messages.texts.clear();
    const Lines before = w.CFile.lines;
    const bool written = w.ChangeOptions(c.options);
    EXPECT_EQ(messages.texts, c.messages);
    EXPECT_EQ(written, c.messages.empty());
    EXPECT_EQ(w.Modified, written);
    if (!written) {
      EXPECT_EQ(w.CFile.lines, before);
      continue;
    }
    Lines expected = before;
    expected[10] = "PACKFIELDS:" + c.options.packFields;
    expected[11] = std::string("CLEARTARGET=") + (c.options.clearTarget ? "TRUE" : "FALSE");
    expected[12] = "FILTER:" + c.options.filter;
    expected[13] = std::string("LATVIAN=") + (c.options.latvian ? "TRUE" : "FALSE");
    EXPECT_EQ(w.CFile.lines, expected);
    EXPECT_EQ(w.EditPack, c.options.packFields);
    EXPECT_EQ(w.EditFilter, c.options.filter);
    EXPECT_TRUE(w.Commands.save);
  }
}

TEST_F(WorkspaceTest, ChangeOptionsWritesNothingWhereTheLinesAreMalformed) {
  Lines lines = Description();
  lines[13] = "LATVIAN:TRUE";
  ASSERT_TRUE(LoadLines(lines));
  EXPECT_FALSE(workspace.ChangeOptions({"CODE", true, "x", true}));
  EXPECT_EQ(messages.texts, Lines{"Error in file!"});
  EXPECT_EQ(workspace.CFile.lines, lines);
  EXPECT_FALSE(workspace.Modified);
}

TEST_F(WorkspaceTest, ChangeBasesRewritesTheFilesLinesAndReloads) {
  CreateTable("OTHER.DB", {{"NAME", FieldType::String, 8}});
  ASSERT_TRUE(LoadLines(Description({"NAME to CLNAME"})));
  Workspace::Bases bases;
  ASSERT_TRUE(workspace.ReadBases(bases));
  EXPECT_EQ(bases.source, PathOf("CLIENTS.DB"));
  EXPECT_EQ(bases.target, PathOf("PARTNERS.DBF"));

  ASSERT_TRUE(workspace.ChangeBases(PathOf("OTHER.DB"), PathOf("PARTNERS.DBF")));
  EXPECT_EQ(workspace.CFile.lines[6], "SOURCE=" + PathOf("OTHER.DB"));
  EXPECT_TRUE(workspace.LoadOk);
  EXPECT_FALSE(workspace.Modified);  // a base change is not counted as an edit
  EXPECT_EQ(workspace.SGSource.rows.size(), 1u);
  EXPECT_EQ(workspace.SGSource.rows[0].mark, kMark);
  EXPECT_TRUE(messages.texts.empty());

  struct Case {
    const char* name;
    std::string source;
    Lines messages;
  };
  const Case refused[] = {
      {"same file", PathOf("PARTNERS.DBF"), {"Can't convert Source to itself!"}},
  };
  for (const Case& c : refused) {
    messages.texts.clear();
    const Lines before = workspace.CFile.lines;
    EXPECT_FALSE(workspace.ChangeBases(c.source, PathOf("PARTNERS.DBF"))) << c.name;
    EXPECT_EQ(messages.texts, c.messages) << c.name;
    EXPECT_EQ(workspace.CFile.lines, before) << c.name;
  }
}

TEST_F(WorkspaceTest, ChangeBasesOnMalformedFilesLinesWritesNothing) {
  Lines lines = Description();
  lines[7] = "TARGETX=" + PathOf("PARTNERS.DBF");
  LoadLines(lines);
  messages.texts.clear();
  status.events.clear();
  EXPECT_FALSE(workspace.ChangeBases(PathOf("CLIENTS.DB"), PathOf("PARTNERS.DBF")));
  EXPECT_EQ(messages.texts, Lines{"Error in INI file!"});
  EXPECT_EQ(status.events, std::vector<std::string>{"error"});
  EXPECT_FALSE(workspace.LoadOk);
  EXPECT_EQ(workspace.CFile.lines, lines);
}

TEST_F(WorkspaceTest, NewLoadsTheTemplateUnmodifiedAndUnnamed) {
  ASSERT_TRUE(LoadLines(Description()));
  workspace.AddFieldRelation(0, 0);
  ASSERT_TRUE(workspace.New(PathOf("CLIENTS.DB"), PathOf("PARTNERS.DBF")));
  EXPECT_EQ(workspace.CFile.lines, Description());
  EXPECT_EQ(workspace.CnvFileName, "NoName");
  EXPECT_FALSE(workspace.Modified);
  EXPECT_TRUE(workspace.LoadOk);
  EXPECT_EQ(workspace.Caption, "NoName - NOX Base Convertation");
  EXPECT_EQ(workspace.Title, "NOX Base Convertation - NoName");
  EXPECT_EQ(Marks(workspace.SGSource), std::vector<std::string>(6, " "));

  EXPECT_FALSE(workspace.New(PathOf("CLIENTS.DB"), PathOf("CLIENTS.DB")));
  EXPECT_EQ(messages.texts, Lines{"Can't convert Source to itself!"});
}

TEST_F(WorkspaceTest, SaveAndSaveAsWriteTheTextAndClearModified) {
  ASSERT_TRUE(workspace.New(PathOf("CLIENTS.DB"), PathOf("PARTNERS.DBF")));
  workspace.AddFieldRelation(1, 1);
  EXPECT_FALSE(workspace.Save());  // unnamed: the caller asks for a name
  EXPECT_TRUE(workspace.Modified);
  EXPECT_EQ(workspace.SavePromptText(),
            "The  NoName  file has changed.\r\rDo you want to save the changes?");

  EXPECT_FALSE(workspace.SaveAs(PathOf("no/such/dir/x.cnv")));
  EXPECT_EQ(messages.texts, Lines{"Cannot create file " + PathOf("no/such/dir/x.cnv")});
  EXPECT_EQ(workspace.CnvFileName, "NoName");
  EXPECT_TRUE(workspace.Modified);

  ASSERT_TRUE(workspace.SaveAs(PathOf("saved.cnv")));
  EXPECT_EQ(workspace.CnvFileName, PathOf("saved.cnv"));
  EXPECT_FALSE(workspace.Modified);
  EXPECT_FALSE(workspace.Commands.save);
  EXPECT_EQ(workspace.Caption, "Saved.cnv - NOX Base Convertation");
  EXPECT_EQ(workspace.Title, "NOX Base Convertation - saved.cnv");
  EXPECT_EQ(DescriptionText::ReadFile(PathOf("saved.cnv")).lines, workspace.CFile.lines);

  workspace.DeleteRelation(0);
  ASSERT_TRUE(workspace.Save());
  EXPECT_FALSE(workspace.Modified);
  EXPECT_EQ(DescriptionText::ReadFile(PathOf("saved.cnv")).lines, Description());

  // Opening again keeps exactly one " - " in caption and title.
  ASSERT_TRUE(workspace.Load(PathOf("saved.cnv"), true));
  EXPECT_EQ(workspace.Caption, "Saved.cnv - NOX Base Convertation");
  EXPECT_EQ(workspace.Title, "NOX Base Convertation - saved.cnv");
}

TEST(WorkspacePathsTest, PartsAndShortenedLabels) {
  struct Case {
    const char* path;
    const char* directory;
    const char* name;
  };
  const Case cases[] = {
      {"C:\\DATA\\CLIENTS.DB", "C:\\DATA\\", "CLIENTS.DB"},
      {"/w/x/P.DBF", "/w/x/", "P.DBF"},
      {"C:P.DB", "C:", "P.DB"},
      {"P.DB", "", "P.DB"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DirectoryPart(c.path), c.directory) << c.path;
    EXPECT_EQ(FileNamePart(c.path), c.name) << c.path;
  }
  EXPECT_EQ(ShortenForLabel("C:\\DATA\\", 100, 10), "C:\\DATA\\");
  EXPECT_EQ(ShortenForLabel("C:\\VERY\\LONG\\DIR\\", 50, 10), "..NG\\DIR\\");  // k = 5: 7 chars
  EXPECT_EQ(ShortenForLabel("ABCDEFG", 60, 10), "..ABCDEFG");  // k + 2 exceeds the text
}

}  // namespace
}  // namespace nox::convert

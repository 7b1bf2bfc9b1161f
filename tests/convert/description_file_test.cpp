#include "convert/description_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace nox::convert {
namespace {

using Lines = std::vector<std::string>;

struct SplitCase {
  const char* name;
  std::string bytes;
  Lines lines;
};

TEST(DescriptionTextTest, SplitsAtEveryKindOfLineBreak) {
  const SplitCase cases[] = {
      {"crlf", "A\r\nB\r\n", {"A", "B"}},
      {"lone cr", "A\rB", {"A", "B"}},
      {"lone lf", "A\nB\n", {"A", "B"}},
      {"mixed", "A\r\n\rB\n\nC", {"A", "", "B", "", "C"}},
      {"cr then crlf", "A\r\r\nB", {"A", "", "B"}},
      {"zero byte ends the text", std::string("A\r\nB\0C\r\nD", 9), {"A", "B"}},
      {"empty", "", {}},
      {"only a break", "\r\n", {""}},
      {"spaces kept", " A \r\n ", {" A ", " "}},
  };
  for (const SplitCase& c : cases) {
    EXPECT_EQ(DescriptionText::Parse(c.bytes).lines, c.lines) << c.name;
  }
}

TEST(DescriptionTextTest, WritesCrLfAfterEveryLineAndReadsBackTheSameLines) {
  DescriptionText text = DescriptionText::NewTemplate("C:\\DATA\\CLIENTS.DB", "/w/PARTNERS.DBF");
  text.lines.push_back("NAME to CLNAME");
  text.lines.push_back("\xE2\xF0 to X ");  // Windows-1257 bytes and a trailing space survive
  const std::string bytes = text.Serialize();
  EXPECT_TRUE(bytes.ends_with("X \r\n"));
  EXPECT_EQ(DescriptionText::Parse(bytes).lines, text.lines);

  const auto dir =
      std::filesystem::temp_directory_path() / ("nox_description_test_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const auto path = dir / "conv.cnv";
  text.WriteFile(path);
  std::ifstream in(path, std::ios::binary);
  const std::string onDisk((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(onDisk, bytes);
  EXPECT_EQ(DescriptionText::ReadFile(path).lines, text.lines);
  std::filesystem::remove_all(dir);
}

TEST(DescriptionTextTest, ReadingAMissingFileNamesIt) {
  try {
    DescriptionText::ReadFile("/nonexistent/dir/x.cnv");
    FAIL() << "no error";
  } catch (const DescriptionFileError& error) {
    EXPECT_NE(std::string(error.what()).find("/nonexistent/dir/x.cnv"), std::string::npos);
  }
}

TEST(DescriptionTextTest, TemplateHasTheSixteenLines) {
  const DescriptionText text = DescriptionText::NewTemplate("S.DB", "T.DBF");
  ASSERT_EQ(text.lines.size(), 16u);
  for (int i : {1, 2, 3})
    EXPECT_EQ(text.lines[static_cast<std::size_t>(i)].size(), 46u);
  EXPECT_EQ(text.lines[0], " ");
  EXPECT_EQ(text.lines[6], "SOURCE=S.DB");
  EXPECT_EQ(text.lines[7], "TARGET=T.DBF");
  EXPECT_EQ(text.Value(DescriptionLine::PackFields), "");
  EXPECT_EQ(text.Flag(DescriptionLine::ClearTarget), false);
  EXPECT_EQ(text.Value(DescriptionLine::Filter), "");
  EXPECT_EQ(text.Flag(DescriptionLine::Latvian), true);
  EXPECT_EQ(text.FirstRelationLine(), 16);
}

struct KeyCase {
  const char* name;
  Lines lines;
  DescriptionLine line;
  std::optional<std::string> value;
};

TEST(DescriptionTextTest, KeyedLinesAreReadAtTheirOffsets) {
  const KeyCase cases[] = {
      {"header in any case", {"files", "SOURCE=a", "TARGET=b"}, DescriptionLine::Target, "b"},
      {"header with a trailing space is not found: line 0 is taken",
       {"SOURCE=x", "FILES ", "TARGET=b"},
       DescriptionLine::Source,
       "x"},
      {"no FILES header: the first two lines",
       {"SOURCE=a", "TARGET=b"},
       DescriptionLine::Target,
       "b"},
      {"value after the first separator, not trimmed",
       {"FILES", "SOURCE=a=b ", "T"},
       DescriptionLine::Source,
       "a=b "},
      {"key is case-sensitive", {"FILES", "source=a"}, DescriptionLine::Source, std::nullopt},
      {"key must start in column one",
       {"FILES", " SOURCE=a"},
       DescriptionLine::Source,
       std::nullopt},
      {"text ends before the offset", {"FILES"}, DescriptionLine::Source, std::nullopt},
      {"options in either order",
       {"OPTIONS", "PACKFIELDS:Q;R", "CLEARTARGET=x", "FILTER:A > 1"},
       DescriptionLine::Filter,
       "A > 1"},
      {"no OPTIONS: the first line is the pack line",
       {"X", "PACKFIELDS:"},
       DescriptionLine::PackFields,
       std::nullopt},
  };
  for (const KeyCase& c : cases) {
    DescriptionText text;
    text.lines = c.lines;
    EXPECT_EQ(text.Value(c.line), c.value) << c.name;
  }
}

TEST(DescriptionTextTest, FlagsAreTrueOnlyForTrueInAnyCase) {
  const std::pair<const char*, std::optional<bool>> cases[] = {
      {"CLEARTARGET=TRUE", true},   {"CLEARTARGET=true", true}, {"CLEARTARGET=TRUE ", false},
      {"CLEARTARGET=FALSE", false}, {"CLEARTARGET=", false},    {"CLEARTARGET:TRUE", std::nullopt},
  };
  for (const auto& [line, flag] : cases) {
    DescriptionText text;
    text.lines = {"OPTIONS", "PACKFIELDS:", line};
    EXPECT_EQ(text.Flag(DescriptionLine::ClearTarget), flag) << line;
  }
}

TEST(DescriptionTextTest, SetValueRewritesTheLineInPlace) {
  DescriptionText text = DescriptionText::NewTemplate("S.DB", "T.DB");
  ASSERT_TRUE(text.SetValue(DescriptionLine::Filter, "QTY > 0"));
  EXPECT_EQ(text.lines[12], "FILTER:QTY > 0");
  EXPECT_EQ(text.lines.size(), 16u);
  DescriptionText empty;
  EXPECT_FALSE(empty.SetValue(DescriptionLine::Latvian, "TRUE"));
}

struct RelationCase {
  const char* line;
  const char* source;
  const char* target;
  const char* formula;
};

TEST(RelationLineTest, ParsesBothForms) {
  const RelationCase cases[] = {
      {"NAME to CLNAME", "NAME", "CLNAME", ""},
      {"A to B to C", "A", "B to C", ""},
      {"< Func > to NOTE  < Func >=ALLTRIM(NAME)", "< Func >", "NOTE", "ALLTRIM(NAME)"},
      {"< Func > to N  < Func >=IF(A=1,'x','y')", "< Func >", "N", "IF(A=1,'x','y')"},
      {"< Func > to N < Func >=X", "< Func >", "N < Func >=X", "X"},
      {"<Func> to N  < Func >=X", "<Func>", "N  < Func >=X", ""},
      {"NAME TO CLNAME", "", "", ""},
      {" ", "", "", ""},
  };
  for (const RelationCase& c : cases) {
    const RelationLine relation = RelationLine::Parse(c.line);
    EXPECT_EQ(relation.source, c.source) << c.line;
    EXPECT_EQ(relation.target, c.target) << c.line;
    EXPECT_EQ(relation.formula, c.formula) << c.line;
  }
}

TEST(RelationLineTest, FormatsWhatParseReads) {
  EXPECT_EQ(RelationLine::Field("CODE", "CODE").Format(), "CODE to CODE");
  const RelationLine formula = RelationLine::Formula("NOTE", "ALLTRIM(NAME)");
  EXPECT_EQ(formula.Format(), "< Func > to NOTE  < Func >=ALLTRIM(NAME)");
  const RelationLine back = RelationLine::Parse(formula.Format());
  EXPECT_TRUE(back.IsFormula());
  EXPECT_EQ(back.target, "NOTE");
  EXPECT_EQ(back.formula, "ALLTRIM(NAME)");
}

}  // namespace
}  // namespace nox::convert

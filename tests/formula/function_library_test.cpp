// The built-in functions: signatures and results called directly with operands, and the same
// examples end to end through EvaluateFormula.

#include "formula/function_library.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "formula/formula.h"
#include "formula/named_window.h"
#include "host/host_formats.h"

namespace nox::formula {
namespace {

struct Arg {
  const char* text;
  Tag tag;
};

std::optional<CallResult> Call(std::string_view name, std::initializer_list<Arg> args) {
  std::vector<Operand> operands;
  for (const Arg& arg : args)
    operands.push_back({arg.text, arg.tag});
  return CallBuiltin(name, operands, CalculationContext{});
}

constexpr Tag S = Tag::Str;
constexpr Tag P = Tag::ParStr;
constexpr Tag N = Tag::Par;
constexpr Tag R = Tag::ParR;
constexpr Tag D = Tag::Date;
constexpr Tag B = Tag::Bool;
constexpr Tag A = Tag::Arr;

class FunctionLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::HostFormats::SetShortDateFormat(host::DateFormat::Parse("dd.mm.yyyy"));
    host::HostFormats::SetDecimalSeparator('.');
  }
  void TearDown() override {
    host::HostFormats::SetShortDateFormat(host::DateFormat::Parse("dd.mm.yyyy"));
  }
};

TEST_F(FunctionLibraryTest, NamesFollowTheTranslatorsListAndEachIsKnown) {
  const auto names = BuiltinFunctionNames();
  ASSERT_EQ(names.size(), 50u);
  EXPECT_EQ(names.front(), "AFTERATNUM");
  EXPECT_EQ(names[22], "DATE");
  EXPECT_EQ(names[32], "DAYSTR");
  EXPECT_EQ(names.back(), "EOM");
  EXPECT_FALSE(Call("NOSUCH", {{"a", S}}));
  EXPECT_FALSE(Call("left", {{"abc", S}, {"2", N}}));  // callers pass the name in upper case
}

struct Example {
  const char* name;
  std::vector<Arg> args;
  const char* text;
  Tag tag;
};

std::optional<CallResult> Call(const Example& example) {
  std::vector<Operand> operands;
  for (const Arg& arg : example.args)
    operands.push_back({arg.text, arg.tag});
  return CallBuiltin(example.name, operands, CalculationContext{});
}

TEST_F(FunctionLibraryTest, TextFunctionsGiveTheirResultsAndTags) {
  const Example examples[] = {
      {"STRTRAN", {{"a-b-c-d", S}, {"-", P}, {"+", P}, {"0", N}, {"0", N}}, "a+b+c+d", S},
      {"STRTRAN", {{"a-b-c-d", S}, {"-", P}, {"+", P}, {"2", N}, {"1", N}}, "a-b+c-d", S},
      {"ATNUM", {{"-", S}, {"a-b-c", P}, {"2", N}, {"0", N}}, "4", N},
      {"ATNUM", {{"-", S}, {"a-b-c", P}, {"3", N}, {"0", N}}, "0", N},
      {"BEFORATNUM", {{"-", S}, {"a-b-c", P}, {"2", N}, {"0", N}}, "a-b", S},
      {"AFTERATNUM", {{"-", S}, {"a-b-c", P}, {"1", N}, {"0", N}}, "b-c", S},
      {"TOKEN", {{"a,b,,c", S}, {",", P}, {"4", N}, {"0", N}}, "c", S},
      {"TOKEN", {{"x--y--z", S}, {"--", P}, {"2", N}, {"0", N}}, "y", S},
      {"STUFF", {{"abcdef", S}, {"2", N}, {"3", N}, {"XY", P}}, "aXYef", S},
      {"PADL", {{"7", S}, {"3", N}, {"0", P}}, "007", S},
      {"PADL", {{"7", S}, {"3", N}}, "  7", S},
      {"PADR", {{"ab", S}, {"4", N}, {".", P}}, "ab..", S},
      {"PADR", {{"ab", S}, {"4", N}}, "ab  ", S},
      {"PADC", {{"ab", S}, {"7", N}, {"*", P}}, "**ab***", S},
      {"PADC", {{"ab", S}, {"6", N}}, "  ab  ", S},
      {"ATTOKEN", {{"a-b-c", S}, {"-", P}, {"-2", N}}, "2", N},
      {"NUMAT", {{"a", S}, {"banana", P}, {"3", N}}, "2", N},
      {"SUBSTR", {{"abcdef", S}, {"5", N}, {"9", N}}, "ef", S},
      {"LEFT", {{"abc", S}, {"2", N}}, "ab", S},
      {"LEFT", {{"abc", S}, {"-2", N}}, "", S},
      {"RIGHT", {{"abc", S}, {"5", N}}, "abc", S},
      {"REPLICATE", {{"ab", S}, {"2", N}}, "abab", S},
      {"POS", {{"c", S}, {"abc", P}}, "3", N},
      {"IN", {{"x", S}, {"abc", P}}, "F", B},
      {"IN", {{"bc", S}, {"abc", P}}, "T", B},
      {"FORMANALIT", {{"a", S}, {"b", P}}, "", S},
      {"ALLTRIM", {{" a ", S}}, "a", S},
      {"LTRIM", {{" a ", S}}, "a ", S},
      {"RTRIM", {{" a ", S}}, " a", S},
      {"LATV", {{"\xFD\xF0", S}}, "\xF0\xC7", S},
      {"LATVDOS", {{"\xF0\xC7", S}}, "\xFD\xF0", S},
      {"LENGTH", {{"abc", S}}, "3", N},
      {"EMPTY", {{"   ", S}}, "T", B},
      {"EMPTY", {{" x", S}}, "F", B},
      {"VAL", {{"12", S}}, "12", N},
      {"VAL", {{"1.5", S}}, "1.5", R},
      {"VAL", {{"1e3", S}}, "1e3", R},
      {"VAL", {{"abc", S}}, "abc", N},  // only the tag changes
      {"STR", {{"12", N}}, "12", S},
      {"STR", {{"1.5", R}}, "1.5", S},
      {"SPACE", {{"2", N}}, "  ", S},
      {"SPACE", {{"-2", N}}, "", S},
  };
  for (const Example& example : examples) {
    SCOPED_TRACE(example.name + std::string("(") +
                 (example.args.empty() ? "" : example.args[0].text) + ", ...)");
    const auto result = Call(example);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->text, example.text);
    EXPECT_EQ(result->tag, example.tag);
  }
}

TEST_F(FunctionLibraryTest, NumberDateAndLogicalFunctionsGiveTheirResultsAndTags) {
  const Example examples[] = {
      {"DTOC", {{"15.03.2004", D}}, "15.03.2004", S},
      {"DTOC", {{"5", N}}, " ", S},
      {"DTOC", {{"5.5", R}}, " ", S},
      {"DTOC", {{"", Tag::Nil}}, "", S},
      {"CTOD", {{"15.3.2004", S}}, "15.03.2004", D},
      {"CTOD", {{"hello", S}}, "11.11.11", D},
      {"CTOD", {{"31.02.2004", S}}, "11.11.11", D},
      {"CTOD", {{"", S}}, "11.11.11", D},
      {"YEAR", {{"15.03.2004", D}}, "20", N},
      {"MONTH", {{"15.03.2004", D}}, "3", N},
      {"DAY", {{"15.03.2004", D}}, "15", N},
      {"YEARSTR", {{"15.03.2004", D}}, "20", S},
      {"MONTHSTR", {{"15.03.2004", D}}, "03", S},
      {"DAYSTR", {{"15.03.2004", D}}, "15", S},
      {"BOM", {{"10.02.2004", D}}, "01.02.2004", D},
      {"EOM", {{"10.02.2004", D}}, "29.02.2004", D},
      {"EOM", {{"10.02.2003", D}}, "28.02.2003", D},
      {"EOM", {{"31.12.2003", D}}, "31.12.2003", D},
      {"ADDMONTH", {{"31.01.2004", D}, {"1", N}}, "28.02.2004", D},
      {"ADDMONTH", {{"31.03.2004", D}, {"1", N}}, "30.04.2004", D},
      {"ADDMONTH", {{"15.03.2004", D}, {"-4", N}}, "15.11.2003", D},
      {"ADDMONTH", {{"15.03.2004", D}, {"12", N}}, "15.03.2005", D},
      {"ADDMONTH", {{"29.02.2004", D}, {"0", N}}, "29.02.2004", D},
      {"ADDMONTH", {{"29.02.2004", D}, {"48", N}}, "28.02.2008", D},
      {"ADDMONTH", {{"15.01.2004", D}, {"-12", N}}, "15.01.2003", D},
      {"ADDMONTH", {{"15.01.2004", D}, {"-13", N}}, "15.12.2002", D},
      {"ROUND", {{"2.5", R}}, "3", N},
      {"ROUND", {{"-2.5", R}}, "-3", N},
      {"ROUND", {{"7", N}}, "7", N},
      {"ROUND", {{"2.345", R}, {"2", N}}, "2.35", R},
      {"ROUND", {{"2.675", R}, {"-1", N}}, "3", R},
      {"ROUNDF", {{"2.5", R}, {"2", N}}, "2.50", R},
      {"ROUNDF", {{"3", N}, {"2", N}}, "3.00", R},
      {"SQR", {{"1.1", R}}, "1.21", R},
      {"SQR", {{"-3", N}}, "9", R},
      {"SQR", {{"65536", N}}, "4294967296", R},  // no 32-bit overflow
      {"SQRT", {{"16", N}}, "4", R},
      {"SQRT", {{"2.25", R}}, "1.5", R},
      {"SQRT", {{"0", N}}, "0", R},
      {"NOT", {{"T", B}}, "F", B},
      {"NOT", {{"True", B}}, "F", B},  // the engine's word for true counts as true
      {"NOT", {{"False", B}}, "T", B},
      {"IF", {{"F", B}, {"yes", P}, {"3", N}}, "3", N},
      {"IF", {{"T", B}, {"yes", P}, {"3", N}}, "yes", S},
      {"IF", {{"T", B}, {"01.02.2004", D}, {"x", P}}, "01.02.2004", D},
      {"IF", {{"True", B}, {"a", P}, {"b", P}}, "a", S},
      {"FORMNOTNIL", {{"NoSuchWindow", S}}, "F", B},
  };
  for (const Example& example : examples) {
    SCOPED_TRACE(example.name + std::string("(") + example.args[0].text + ", ...)");
    const auto result = Call(example);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->text, example.text);
    EXPECT_EQ(result->tag, example.tag);
  }
}

TEST_F(FunctionLibraryTest, CallsWhoseArgumentsDoNotFitWait) {
  const Example examples[] = {
      {"LEFT", {{"7", N}, {"2", N}}, "", S},             // a number where a text belongs
      {"LEFT", {{"abc", P}, {"2", N}}, "", S},           // first text must be "Str"
      {"POS", {{"a", S}, {"abc", S}}, "", S},            // later texts are "ParStr"
      {"PADL", {{"ab", S}, {"5", N}, {"0", N}}, "", S},  // the fill must be a text
      {"LEFT", {{"abc", S}, {"2", R}}, "", S},           // counts are whole numbers
      {"LEFT", {{"abc", S}}, "", S},                     // no signature with one argument
      {"SUBSTR", {{"abc", S}, {"1", N}, {"1", N}, {"1", N}}, "", S},
      {"STR", {{"abc", S}}, "", S},
      {"SPACE", {{"x", S}}, "", S},
      {"DTOC", {{"x", S}}, "", S},
      {"YEAR", {{"15.03.2004", S}}, "", S},  // a text is no date
      {"ROUND", {{"2.5", R}, {"1", R}}, "", S},
      {"NOT", {{"T", S}}, "", S},
      {"IF", {{"T", S}, {"a", P}, {"b", P}}, "", S},
      {"IF", {{"T", B}, {"+", Tag::Plus}, {"b", P}}, "", S},  // an operator is no value
      {"CASESTR", {{"1", N}, {"1", S}, {"a", A}, {"?", P}}, "", S},
      {"GETKURS", {{"USD", S}, {"15.01.2004", S}}, "", S},
      {"DATE", {{"1", N}}, "", S},
      {"DATE", {}, "", S},  // DATE() belongs to the calculator
  };
  for (const Example& example : examples) {
    EXPECT_FALSE(Call(example)) << example.name << " with " << example.args.size() << " arguments";
  }
}

TEST_F(FunctionLibraryTest, ConversionErrorsEndTheCalculationNamingTheText) {
  struct ErrorCase {
    Example call;
    const char* message;
  };
  const ErrorCase cases[] = {
      {{"LEFT", {{"abc", S}, {"x", N}}, "", S}, "'x' is not a valid integer value"},
      {{"LEFT", {{"abc", S}, {"", N}}, "", S}, "'' is not a valid integer value"},
      {{"LEFT", {{"abc", S}, {"2147483648", N}}, "", S},
       "'2147483648' is not a valid integer value"},
      {{"LEFT", {{"abc", S}, {"--2", N}}, "", S}, "'--2' is not a valid integer value"},
      {{"LEFT", {{"abc", S}, {"-99999999999999999999", N}}, "", S},
       "'-99999999999999999999' is not a valid integer value"},
      {{"SPACE", {{"2.5", R}}, "", S}, "'2.5' is not a valid integer value"},
      {{"ROUND", {{"abc", R}}, "", S}, "'abc' is not a valid floating point value"},
      {{"BOM", {{"11.11.11x", D}}, "", S}, "'11.11.11x' is not a valid date"},
      {{"ADDMONTH", {{"15.03.2004", D}, {"2147483647", N}}, "", S},
       "ADDMONTH: 15.03.2004 plus 2147483647 months is out of range"},
      {{"ADDMONTH", {{"15.03.2004", D}, {"-2147483648", N}}, "", S},
       "ADDMONTH: 15.03.2004 plus -2147483648 months is out of range"},
      {{"SQRT", {{"-4", N}}, "", S}, "Invalid floating point operation: the square root of -4"},
      {{"REPLICATE", {{"ab", S}, {"2147483647", N}}, "", S},
       "REPLICATE: a text of 2147483647 times 2 characters is too long (at most 67108864)"},
  };
  for (const ErrorCase& c : cases) {
    try {
      Call(c.call);
      ADD_FAILURE() << c.call.name << " raised nothing";
    } catch (const FormulaError& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
  }
  // Extremes that are whole numbers still work.
  EXPECT_EQ(Call("LEFT", {{"abc", S}, {"-2147483648", N}})->text, "");
  EXPECT_EQ(Call("LEFT", {{"abc", S}, {" +2147483647", N}})->text, "abc");
}

// Date parts are fixed characters of the date text, whatever the host's format.
TEST_F(FunctionLibraryTest, DatePartsTakeFixedCharactersUnderOtherHostFormats) {
  host::HostFormats::SetShortDateFormat(host::DateFormat::Parse("mm/dd/yyyy"));
  EXPECT_EQ(Call("CTOD", {{"03/15/2004", S}})->text, "03/15/2004");
  EXPECT_EQ(Call("DAY", {{"03/15/2004", D}})->text, "3");     // the month's characters
  EXPECT_EQ(Call("MONTH", {{"03/15/2004", D}})->text, "15");  // the day's characters
  EXPECT_EQ(Call("BOM", {{"03/15/2004", D}})->text, "03/01/2004");

  host::HostFormats::SetShortDateFormat(host::DateFormat::Parse("yyyy-mm-dd"));
  EXPECT_EQ(Call("YEARSTR", {{"2004-03-15", D}})->text, "3-");
  EXPECT_THROW(Call("YEAR", {{"2004-03-15", D}}), FormulaError);
  EXPECT_EQ(Call("ADDMONTH", {{"2004-01-31", D}, {"1", N}})->text, "2004-02-28");

  host::HostFormats::SetShortDateFormat(host::DateFormat::Parse("d.m.yy"));
  EXPECT_EQ(Call("YEARSTR", {{"5.3.04", D}})->text, "");  // the text is too short
  EXPECT_THROW(Call("YEAR", {{"5.3.04", D}}), FormulaError);
  EXPECT_THROW(Call("DAY", {{"5.3.04", D}}), FormulaError);  // "5."
}

class TestWindow : public NamedWindow {
 public:
  std::string_view WindowName() const override { return "FormConvert"; }
  tables::TTable* FindTable(std::string_view) const override { return nullptr; }
};

TEST_F(FunctionLibraryTest, FormNotNilAsksForAnOpenWindow) {
  TestWindow window;
  RegisterNamedWindow(window);
  EXPECT_EQ(Call("FORMNOTNIL", {{"formconvert", S}})->text, "T");
  EXPECT_EQ(Call("FORMNOTNIL", {{"FormMain", S}})->text, "F");
  UnregisterNamedWindow(window);
  EXPECT_EQ(Call("FORMNOTNIL", {{"FormConvert", S}})->text, "F");
}

struct CaseExample {
  const char* name;
  Arg value;
  const char* keys;
  const char* results;
  Arg fallback;
  const char* text;
  Tag tag;
};

TEST_F(FunctionLibraryTest, CaseSelectionEvaluatesItsListsAndKeepsTheWorkingLists) {
  const CaseExample examples[] = {
      {"CASESTR", {"2", N}, "1;2;3", "'one';'two';'three'", {"?", P}, "two", S},
      {"CASESTR", {"5", N}, "1;2;3", "'one';'two';'three'", {"?", P}, "?", S},
      {"CASENUM", {"B", S}, "'A';'B'", "10;20", {"0", N}, "20", N},
      {"CASESTR", {"3", N}, "1+1;1+2", "'a';LEFT('bcd',2)", {"?", P}, "bc", S},
      {"CASESTR", {"2", N}, "1;2", "'x'", {"?", P}, "", S},  // no second result: empty
      {"CASESTR", {"1", N}, "1", "'$ELSE$'", {"dflt", P}, "dflt", S},
      {"CASESTR", {"1.5", R}, "1.5", "'r'", {"?", P}, "r", S},
      {"CASESTR", {"", S}, "", "'empty'", {"?", P}, "empty", S},
  };
  for (const CaseExample& e : examples) {
    SCOPED_TRACE(std::string(e.name) + " of " + e.value.text + " in " + e.keys);
    WorkTokens() = {"CASESTR", "(", "x"};
    WorkTypes() = {Tag::Func, Tag::LParen, Tag::Str};
    const Operand operands[] = {{e.value.text, e.value.tag},
                                {e.keys, A},
                                {e.results, A},
                                {e.fallback.text, e.fallback.tag}};
    const auto result = CallBuiltin(e.name, operands, CalculationContext{});
    ASSERT_TRUE(result);
    EXPECT_EQ(result->text, e.text);
    EXPECT_EQ(result->tag, e.tag);
    EXPECT_EQ(WorkTokens(), (TokenList{"CASESTR", "(", "x"}));
    EXPECT_EQ(WorkTypes(), (TypeList{Tag::Func, Tag::LParen, Tag::Str}));
  }
}

TEST_F(FunctionLibraryTest, CaseSelectionRestoresTheWorkingListsWhenANestedFormulaFails) {
  WorkTokens() = {"kept"};
  WorkTypes() = {Tag::Str};
  const Operand operands[] = {{"1", N}, {"1/0", A}, {"'x'", A}, {"?", P}};
  EXPECT_ANY_THROW(CallBuiltin("CASESTR", operands, CalculationContext{}));
  EXPECT_EQ(WorkTokens(), TokenList{"kept"});
  EXPECT_EQ(WorkTypes(), TypeList{Tag::Str});
}

// The examples as users write them, through the whole formula engine.
TEST_F(FunctionLibraryTest, FormulasUsingTheFunctionsEvaluateEndToEnd) {
  struct FormulaCase {
    const char* formula;
    const char* value;
  };
  const FormulaCase cases[] = {
      {"STRTRAN('a-b-c-d','-','+',3,0)", "a-b-c+d"},
      {"ATNUM('-','a-b-c',1,2)", "4"},
      {"AFTERATNUM('x','a-b-c',1,0)", ""},
      {"TOKEN('a;b,c',',;',2,1)", "b"},
      {"PADL('12345',3,'0')", "345"},
      {"PADC('abcdef',3,'*')", "cde"},
      {"ATTOKEN('a-b-c','-',(-2))", "2"},
      {"NUMAT('aa','aaaa',0)", "2"},
      {"STUFF('abc',0,1,'Z')", "Zabc"},
      {"SUBSTR('abcdef',0,3)", "abc"},
      {"LEFT(STR(1234),2)", "12"},
      {"LEFT(1234,2)", "!!!ERROR!!!"},
      {"EMPTY('   ')", "T"},
      {"ADDMONTH(CTOD('31.01.2004'),1)", "28.02.2004"},
      {"ADDMONTH(CTOD('15.03.2004'),(-4))", "15.11.2003"},
      {"EOM(CTOD('10.02.2004'))", "29.02.2004"},
      {"BOM(CTOD('10.02.2004'))", "01.02.2004"},
      {"CTOD('hello')", "11.11.11"},
      {"YEAR(CTOD('15.03.2004'))", "20"},
      {"MONTH(CTOD('15.03.2004'))", "3"},
      {"DAYSTR(CTOD('15.03.2004'))", "15"},
      {"DTOC(5)", " "},
      {"ROUND(2.5)", "3"},
      {"ROUND(2.345,2)", "2.35"},
      {"ROUNDF(2.5,2)", "2.50"},
      {"SQR(1.1)", "1.21"},
      {"IF(1>2,'yes',3)", "3"},
      {"IF(2>1,'yes',3)", "yes"},
      {"NOT(EMPTY(''))", "F"},
      {"CASESTR(2,[1;2;3],['one';'two';'three'],'?')", "two"},
      {"CASESTR(5,[1;2;3],['one';'two';'three'],'?')", "?"},
      {"CASENUM('B',['A';'B'],[10;20],0)", "20"},
      {"CASENUM('B',['A';'B'],[10;20],0)+1", "21"},
  };
  for (const FormulaCase& c : cases) {
    EXPECT_EQ(EvaluateFormula(c.formula, nullptr, nullptr), c.value) << c.formula;
  }
  EXPECT_THROW(EvaluateFormula("SPACE(2.5)", nullptr, nullptr), FormulaError);
}

}  // namespace
}  // namespace nox::formula

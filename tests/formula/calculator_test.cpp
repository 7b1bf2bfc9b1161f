// The calculator: values of formulas against the example record, the reduction order, the cycle
// limit, field references and the errors that end a calculation.

#include "formula/calculator.h"

#include <gtest/gtest.h>

#include <ctime>

#include "formula/formula.h"
#include "formula/number_routines.h"
#include "formula/translator.h"
#include "tests/formula/formula_test_support.h"

namespace nox::formula {
namespace {

using test::CapturedMessages;
using test::MakeExampleRecord;
using test::PinnedHostFormats;
using test::TestWindow;

class CalculatorTest : public ::testing::Test {
 protected:
  FormulaValue Value(std::string_view formula) {
    return EvaluateFormulaOnce(formula, record.get(), &window);
  }
  std::string WorkPairs() const { return TokenTagPairs(WorkTokens(), WorkTypes()); }

  PinnedHostFormats formats;
  CapturedMessages messages;
  std::unique_ptr<tables::TTable> record = MakeExampleRecord();
  TestWindow window{"FormMain"};
};

struct ValueCase {
  const char* formula;
  const char* value;
};

void PrintTo(const ValueCase& example, std::ostream* out) {
  *out << example.formula;
}

class FormulaValueTest : public CalculatorTest, public ::testing::WithParamInterface<ValueCase> {
 protected:
  void SetUp() override { window.AddTable(MakeExampleRecord()); }
};

TEST_P(FormulaValueTest, Yields) {
  EXPECT_EQ(Value(GetParam().formula), GetParam().value) << GetParam().formula;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, FormulaValueTest,
    ::testing::Values(
        ValueCase{"2+3*4", "14"}, ValueCase{"(2+3)*4", "20"}, ValueCase{"10-4-3", "3"},
        ValueCase{"1.5+2.25", "3.75"}, ValueCase{"0.1*0.2", "0.02"}, ValueCase{"7/2", "3.5"},
        ValueCase{"6/3", "2"}, ValueCase{"1/8", "0.125"}, ValueCase{"0.1+0.2", "0.3"},
        ValueCase{"N*P", "17.5"}, ValueCase{"2>1 .and. 3>4", "F"},
        ValueCase{"3>1+1", "!!!ERROR!!!"}, ValueCase{"3>(1+1)", "T"},
        ValueCase{"NAME+'!'", "Smith!"}, ValueCase{"NAME+N", "!!!ERROR!!!"},
        ValueCase{"D+1", "16.03.2004"}, ValueCase{"D>CTOD('01.01.2004')", "T"},
        ValueCase{"NOSUCHFIELD", "NOSUCHFIELD"}, ValueCase{"(-5)*2", "-10"},
        ValueCase{"-(5)*2", "!!!ERROR!!!"}, ValueCase{"'abc'='ABC'", "F"},
        ValueCase{"!EMPTY(NAME)", "T"}, ValueCase{"1+1>1", "T"}, ValueCase{"8/4*2", "4"},
        // Integer arithmetic wraps around at 32 bits.
        ValueCase{"2147483647+1", "-2147483648"}, ValueCase{"65536*65536", "0"},
        ValueCase{"(-2147483647)-2", "2147483647"},
        // Decimal places: the sum for "*", the larger for "+" and "-", the exponent counts.
        ValueCase{"1.5E-3*2", "0.003"}, ValueCase{"2.5-0.25", "2.25"}, ValueCase{"1.25*1.2", "1.5"},
        ValueCase{"(-7)/2", "-3.5"}, ValueCase{"10/4.0", "2.5"},
        // Dates: whole and fractional days, the date part shown.
        ValueCase{"D-1", "14.03.2004"}, ValueCase{"D+1.5", "16.03.2004"},
        ValueCase{"D-0.5", "14.03.2004"}, ValueCase{"D+366", "16.03.2005"},
        // Comparisons of each kind.
        ValueCase{"'a'<'ab'", "T"}, ValueCase{"'\xE9'>'z'", "T"}, ValueCase{"NAME='Smith'", "T"},
        ValueCase{"N>=7", "T"}, ValueCase{"N#7", "F"}, ValueCase{"N<>8", "T"},
        ValueCase{"P>2", "T"}, ValueCase{"2.5=P", "T"}, ValueCase{"D<=D", "T"},
        ValueCase{"D<(D-1)", "F"},
        // A comparison takes the nearest operands: D<D first, then F-1 has no rule.
        ValueCase{"D<D-1", "!!!ERROR!!!"}, ValueCase{"1 != 2", "!!!ERROR!!!"},
        ValueCase{"1=>1", "!!!ERROR!!!"}, ValueCase{"1^2", "!!!ERROR!!!"},
        // Logical operators and negation.
        ValueCase{"(1=1)&(2=2)", "T"}, ValueCase{"(1=1)^(1=2)", "T"},
        ValueCase{"(1=2)or(1=2)", "F"}, ValueCase{"!(1=2)", "T"},
        ValueCase{"!!(1=2)", "!!!ERROR!!!"},
        // A logical field's text is the engine's word; as a condition it counts as "T".
        ValueCase{"(!B1)&(!B2)", "F"}, ValueCase{"B1&(1=1)", "T"}, ValueCase{"B2^(1=2)", "F"},
        ValueCase{"IF(B1,'y','n')+IF(B2,'y','n')", "yn"}, ValueCase{"NOT(B1)", "F"},
        ValueCase{"CASESTR('T',[B2;B1],['no';'yes'],'?')", "yes"}, ValueCase{"B1", "True"},
        // Operators read a whole number as functions do, leading blanks accepted.
        ValueCase{"VAL(' 5')+1", "6"}, ValueCase{"VAL(' 5')*2", "10"},
        ValueCase{"VAL(' 5')=5", "T"}, ValueCase{"ROUND(VAL(' 5'))", "5"},
        // ROUND, ROUNDF, SQR and SQRT read a decimal number as a 64-bit double.
        ValueCase{"ROUND(5000000.015,2)", "5000000.01"},
        ValueCase{"ROUNDF(5000000.015,2)", "5000000.01"},
        // Parentheses around one finished token vanish; a bare minus has no left operand.
        ValueCase{"((NAME))", "Smith"}, ValueCase{"N-", "!!!ERROR!!!"},
        ValueCase{"2*-1", "!!!ERROR!!!"},
        // A "ParR" text that is no number reads as its numeric prefix, or 0.
        ValueCase{"(-NEW)*2", "0"}, ValueCase{"(-1.5ABC)+1", "-0.5"},
        // Field references: memo, empty date, names without regard to case.
        ValueCase{"NOTES+'!'", "Note!"}, ValueCase{"EMPTYDAY", "30.12.1899"},
        ValueCase{"name", "Smith"},
        // table.field through the calculation's window; window.table.field by window name.
        ValueCase{"TableSource.NAME+'?'", "Smith?"}, ValueCase{"TableSource.P*2", "5"},
        ValueCase{"TableSource.D+1", "16.03.2004"}, ValueCase{"formmain.tablesource.N+1", "8"},
        // A window that is not open gives an absent value: 0 or "" next to arithmetic.
        ValueCase{"NoWindow.T.F+1", "1"}, ValueCase{"5-NoWindow.T.F", "5"},
        ValueCase{"'a'+NoWindow.T.F", "a"}, ValueCase{"NoWindow.T.F*N", "0"},
        ValueCase{"NoWindow.T.F", ""}, ValueCase{"NoWindow.T.F=1", "!!!ERROR!!!"},
        ValueCase{"", ""}));

// The quotient keeps the fewest decimals (up to 15) that show it within 1e-11 of its size.
TEST_F(CalculatorTest, DivisionKeepsTheDecimalsThatMatter) {
  const struct {
    const char* formula;
    long double quotient;
    int decimals;
  } cases[] = {
      {"1/3", 1.0L / 3, 11},       {"1/9", 1.0L / 9, 11},     {"2/3", 2.0L / 3, 11},
      {"10/3", 10.0L / 3, 10},     {"1/7", 1.0L / 7, 12},     {"7/2", 3.5L, 1},
      {"1/1024", 1.0L / 1024, 10}, {"(-1)/3", -1.0L / 3, 11}, {"1/3.0", 1.0L / 3, 11},
  };
  for (const auto& example : cases) {
    EXPECT_EQ(Value(example.formula), RoundedText(example.decimals, example.quotient))
        << example.formula;
    EXPECT_EQ(WorkTypes()[0], Tag::ParR) << example.formula;
  }
  // Whole quotients of whole numbers stay whole; zero needs no decimals.
  for (const char* formula : {"6/3", "0/5", "(-8)/2"}) {
    Value(formula);
    EXPECT_EQ(WorkTypes()[0], Tag::Par) << formula;
  }
  EXPECT_EQ(Value("0/5"), "0");
  EXPECT_EQ(Value("0.0/5"), "0");
}

TEST_F(CalculatorTest, ShowsTheRemainingTokensWhenItCannotReduce) {
  EXPECT_EQ(Value("NAME+N"), "!!!ERROR!!!");
  ASSERT_EQ(messages.texts.size(), 1u);
  EXPECT_EQ(messages.kinds[0], host::MessageKind::Warning);
  EXPECT_EQ(messages.texts[0], "Can not evaluate expression:\r\rSmith+7");
  EXPECT_EQ(WorkPairs(), "Smith:Str +:+ 7:Par");
}

TEST_F(CalculatorTest, ResolvesFieldsByKind) {
  const struct {
    const char* formula;
    const char* pairs;
  } cases[] = {
      {"NAME,N,P,D,B1,NOTES,EMPTYDAY",
       "Smith:Str ,:, 7:Par ,:, 2.5:ParR ,:, 15.03.2004:Date ,:, True:Bool ,:, Note:ParStr ,:, "
       "30.12.1899:Date"},
      // A name that is no field is a text, "ParStr" after ",".
      {"X,Y", "X:Str ,:, Y:ParStr"},
      {"TableSource.NAME,TableSource.P,TableSource.B1,TableSource.NOTES",
       "Smith:Str ,:, 2.5:ParR ,:, True:Bool ,:, Note:ParStr"},
  };
  window.AddTable(MakeExampleRecord());
  for (const auto& example : cases) {
    EXPECT_EQ(Value(example.formula), "!!!ERROR!!!");
    EXPECT_EQ(WorkPairs(), example.pairs) << example.formula;
  }
}

TEST_F(CalculatorTest, WithoutRecordSourceNamesAreTexts) {
  EXPECT_EQ(EvaluateFormulaOnce("NAME+'!'", nullptr, nullptr), "NAME!");
}

TEST_F(CalculatorTest, TodayForDateWithoutArguments) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string today =
      host::FormatHostDate({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday});
  EXPECT_EQ(Value("date()"), today);
  EXPECT_EQ(Value("(DATE())"), today);
}

TEST_F(CalculatorTest, UnreadableDatesFallBack) {
  const struct {
    TokenList tokens;
    TypeList types;
    const char* value;
  } cases[] = {
      // Adding gives day number B, subtracting day 0.
      {{"garbage", "+", "3"}, {Tag::Date, Tag::Plus, Tag::Par}, "02.01.1900"},
      {{"garbage", "+", "1.5"}, {Tag::Date, Tag::Plus, Tag::ParR}, "31.12.1899"},
      {{"garbage", "-", "3"}, {Tag::Date, Tag::Minus, Tag::Par}, "30.12.1899"},
      {{"garbage", "-", "1.5"}, {Tag::Date, Tag::Minus, Tag::ParR}, "30.12.1899"},
  };
  for (const auto& example : cases) {
    EXPECT_EQ(CalculateFormula(example.tokens, example.types, nullptr, nullptr), example.value);
  }
  // Comparing needs both dates.
  EXPECT_THROW(CalculateFormula({"garbage", ">", "15.03.2004"}, {Tag::Date, Tag::Znak, Tag::Date},
                                nullptr, nullptr),
               FormulaError);
}

TEST_F(CalculatorTest, FilledTextTakesTheTagOfItsPlace) {
  const TokenList tokens = {",", "", "+", "b"};
  const TypeList types = {Tag::Comma, Tag::Nil, Tag::Plus, Tag::Str};
  EXPECT_EQ(CalculateFormula(tokens, types, nullptr, nullptr), "!!!ERROR!!!");
  EXPECT_EQ(WorkPairs(), ",:, b:ParStr");
}

TEST_F(CalculatorTest, LeavesTheListsPassedInAlone) {
  TokenList tokens;
  TypeList types;
  TranslateFormula("(2+3)*4", tokens, types);
  const TokenList tokensBefore = tokens;
  const TypeList typesBefore = types;
  EXPECT_EQ(CalculateFormula(tokens, types, nullptr, nullptr), "20");
  EXPECT_EQ(tokens, tokensBefore);
  EXPECT_EQ(types, typesBefore);
  EXPECT_EQ(WorkPairs(), "20:Par");
}

// --- The order of reduction ---

std::vector<std::string> Trace(std::string_view formula, tables::TTable* record = nullptr) {
  TokenList tokens;
  TypeList types;
  TranslateFormula(formula, tokens, types);
  std::vector<std::string> steps;
  CalculateObserved(tokens, types, record, nullptr,
                    [&](const ReductionStep& step, const TokenList& t, const TypeList& y) {
                      steps.push_back(std::to_string(step.cycle) + "/" +
                                      std::to_string(static_cast<int>(step.pass)) + " " +
                                      TokenTagPairs(t, y));
                    });
  return steps;
}

TEST_F(CalculatorTest, ReducesOneGroupPerPassLeftmostFirst) {
  EXPECT_EQ(Trace("(2+3)*4"), (std::vector<std::string>{"1/7 (:( 5:Par ):) *:* 4:Par",
                                                        "2/7 5:Par *:* 4:Par", "3/7 20:Par"}));
  // "+" waits for the "*" on its right.
  EXPECT_EQ(Trace("2+3*4"), (std::vector<std::string>{"1/7 2:Par +:+ 12:Par", "2/7 14:Par"}));
}

TEST_F(CalculatorTest, RewritesEveryReadyNegationInOneCycle) {
  const auto steps = Trace("(!B1)&(!B2)", record.get());
  ASSERT_FALSE(steps.empty());
  EXPECT_EQ(steps[0], "1/8 (:( F:Bool ):) &:Znak (:( T:Bool ):)");
}

std::string Additions(int count) {
  std::string formula = "1";
  for (int i = 0; i < count; ++i)
    formula += "+1";
  return formula;
}

TEST_F(CalculatorTest, StopsAfterTwoHundredCycles) {
  EXPECT_EQ(Value(Additions(100)), "101");
  // 200 additions take exactly 200 cycles: the last one still counts.
  const auto steps = Trace(Additions(kMaxReductionCycles));
  ASSERT_EQ(steps.size(), 200u);
  EXPECT_EQ(steps.back(), "200/7 201:Par");
  EXPECT_EQ(Value(Additions(kMaxReductionCycles)), "201");
  EXPECT_TRUE(messages.texts.empty());

  EXPECT_EQ(Value(Additions(kMaxReductionCycles + 1)), "!!!ERROR!!!");
  EXPECT_EQ(WorkPairs(), "201:Par +:+ 1:Par");
  ASSERT_EQ(messages.texts.size(), 1u);
  EXPECT_EQ(messages.texts[0], "Can not evaluate expression:\r\r201+1");
}

// --- Errors that end a calculation ---

TEST_F(CalculatorTest, ErrorsEndTheCalculationWithTheirText) {
  window.AddTable(MakeExampleRecord());
  const struct {
    const char* formula;
    const char* error;
    const char* lists;  // as the failed calculation left them
  } cases[] = {
      {"99999999999*2", "'99999999999' is not a valid integer value", "99999999999:Par *:* 2:Par"},
      {"N+(-A)", "'-A' is not a valid integer value", "7:Par +:+ -A:Par"},
      {"2+3+1/0", "Division by zero", "5:Par +:+ 1:Par /:/ 0:Par"},
      {"1.5/0", "Division by zero", "1.5:ParR /:/ 0:Par"},
      {"NoTable.NAME", "Table 'NoTable' not found", "NoTable.NAME:Pole"},
      {"TableSource.NOFIELD", "Field 'NOFIELD' not found", "TableSource.NOFIELD:Pole"},
      {"FormMain.NoTable.NAME", "Table 'NoTable' not found", "FormMain.NoTable.NAME:Pole"},
      {"D+3000000", "Date out of range", "15.03.2004:Date +:+ 3000000:Par"},
  };
  for (const auto& example : cases) {
    try {
      Value(example.formula);
      ADD_FAILURE() << example.formula << " raised nothing";
    } catch (const FormulaError& error) {
      EXPECT_STREQ(error.what(), example.error) << example.formula;
    }
    EXPECT_EQ(WorkPairs(), example.lists) << example.formula;
  }
  EXPECT_TRUE(messages.texts.empty());
}

TEST_F(CalculatorTest, TableReferenceWithoutWindowFails) {
  EXPECT_THROW(EvaluateFormulaOnce("TableSource.NAME", record.get(), nullptr), FormulaError);
}

}  // namespace
}  // namespace nox::formula

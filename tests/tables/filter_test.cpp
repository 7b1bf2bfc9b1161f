#include "tables/filter.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "host/date_time.h"
#include "host/host_formats.h"

namespace nox::tables {
namespace {

using host::CivilDate;
using host::DateFormat;
using host::HostFormats;

// NAME CITY QTY PRICE AMOUNT BORN STAMP AT PAID "FULL NAME" NOTES PHOTO
std::vector<FieldDef> Fields() {
  return {{"NAME", FieldType::String, 20}, {"CITY", FieldType::String, 20},
          {"QTY", FieldType::Integer},     {"PRICE", FieldType::Float},
          {"AMOUNT", FieldType::Currency}, {"BORN", FieldType::Date},
          {"STAMP", FieldType::DateTime},  {"AT", FieldType::Time},
          {"PAID", FieldType::Boolean},    {"FULL NAME", FieldType::String, 40},
          {"NOTES", FieldType::Memo},      {"PHOTO", FieldType::Graphic}};
}

Record SampleRecord() {
  const double born = host::EncodeDate(CivilDate{2004, 3, 15});
  return {Value::Text("Smith   "),
          Value::Text("Riga"),
          Value::Integer(5),
          Value::Float(2.5),
          Value::Currency(10),
          Value::Date(born),
          Value::Date(born + host::EncodeTime(10, 30, 0, 0)),
          Value::Date(host::EncodeTime(8, 15, 0, 0)),
          Value::Boolean(true),
          Value::Text("John Smith"),
          Value::Text("memo"),
          Value::Text("\x89PNG")};
}

Record NullRecord() {
  Record record(Fields().size());
  record[1] = Value::Text("   ");  // a text of blanks
  return record;
}

struct Case {
  const char* filter;
  bool expected;
};

class FilterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = HostFormats::ShortDateFormat();
    HostFormats::SetShortDateFormat(DateFormat::Parse("dd.mm.yyyy"));
  }
  void TearDown() override { HostFormats::SetShortDateFormat(saved_); }

  static void ExpectAll(const std::vector<Case>& cases, const Record& record) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.filter);
      try {
        EXPECT_EQ(FilterExpression::Parse(c.filter, Fields()).Matches(record), c.expected);
      } catch (const TableError& error) {
        ADD_FAILURE() << error.what();
      }
    }
  }

 private:
  DateFormat saved_;
};

TEST_F(FilterTest, ComparesEachKindOfValue) {
  ExpectAll(
      {
          // numbers, integer, float and currency mixed
          {"QTY = 5", true},
          {"QTY <> 5", false},
          {"QTY < 6", true},
          {"QTY > 5", false},
          {"QTY <= 5", true},
          {"QTY >= 6", false},
          {"PRICE > 2.4", true},
          {"PRICE = 2.5", true},
          {"PRICE = '2.5'", true},
          {"QTY > PRICE", true},
          {"AMOUNT = 10", true},
          {"AMOUNT >= QTY * 2", true},
          {"PRICE < .3e1", true},
          // texts: by bytes, trailing blanks not significant
          {"NAME = 'Smith'", true},
          {"NAME = 'smith'", false},
          {"NAME <> 'Smith  '", false},
          {"NAME < 'Smiti'", true},
          {"NAME > 'Smit'", true},
          {"CITY >= 'Riga'", true},
          {"CITY < '\xE2'", true},  // bytes above 127 sort after ASCII
          {"NOTES = 'memo'", true},
          {"'Riga' = CITY", true},
          {"CITY = 'It''s'", false},
          // dates in the host format and ISO, times
          {"BORN = '15.03.2004'", true},
          {"BORN = '2004-03-15'", true},
          {"BORN = '5.3.2004'", false},
          {"BORN < '16.03.2004'", true},
          {"BORN > '2004-03-14'", true},
          {"BORN >= '1.4.2004'", false},
          {"BORN <= ' 15.03.2004 '", true},
          {"STAMP > '15.03.2004'", true},
          {"STAMP = '15.03.2004 10:30'", true},
          {"STAMP = '2004-03-15T10:30:00'", true},
          {"STAMP < '2004-03-15 10:30:00.001'", true},
          {"AT = '08:15'", true},
          {"AT < '8:15:01'", true},
          {"'14.03.2004' < BORN", true},
          // logical values
          {"PAID", true},
          {"PAID = TRUE", true},
          {"PAID = 'F'", false},
          {"PAID <> 'false'", true},
          {"NOT PAID", false},
          {"PAID = (QTY = 5)", true},
          // field names: any case, quoted when they hold blanks
          {"qty = 5", true},
          {"\"FULL NAME\" = 'John Smith'", true},
          {"\"full name\" > 'J'", true},
          {"PHOTO IS NOT NULL", true},
      },
      SampleRecord());
}

TEST_F(FilterTest, ComputesArithmeticAndFunctions) {
  ExpectAll(
      {
          {"QTY + 1 = 6", true},
          {"QTY - 7 = -2", true},
          {"QTY * PRICE = 12.5", true},
          {"QTY / 2 = 2.5", true},
          {"-QTY = -5", true},
          {"+QTY = 5", true},
          {"- -QTY = 5", true},
          {"QTY * 9223372036854775807 > 9223372036854775807", true},  // leaves the integers
          {"NAME + CITY = 'Smith   Riga'", true},
          {"TRIM(NAME) + ', ' + CITY = 'Smith, Riga'", true},
          {"BORN + 1 = '16.03.2004'", true},
          {"1 + BORN = '16.03.2004'", true},
          {"BORN - 1 = '2004-03-14'", true},
          {"STAMP - BORN > 0.43", true},
          {"STAMP - BORN < 0.44", true},
          {"UPPER(CITY) = 'RIGA'", true},
          {"LOWER(NAME) = 'smith'", true},
          {"UPPER('\xE2x') = '\xE2X'", true},  // letters beyond ASCII stay as they are
          {"TRIM('  a  ') + 'b' = 'ab'", true},
          {"SUBSTRING(CITY, 2) = 'iga'", true},
          {"SUBSTRING(CITY, 2, 2) = 'ig'", true},
          {"substring(CITY from 1 for 1) = 'R'", true},
          {"SUBSTRING(CITY FROM 3) = 'ga'", true},
          {"SUBSTRING(CITY, 0, 2) = 'R'", true},
          {"SUBSTRING(CITY, 4, 10) = 'a'", true},
          {"SUBSTRING(CITY, 9) IS NULL", true},
          {"SUBSTRING(CITY, 2, -1) IS NULL", true},
          {"SUBSTRING(CITY, 1.9, 1.9) = 'R'", true},
          {"UPPER(SUBSTRING(NAME, QTY - 4, 2)) = 'SM'", true},
      },
      SampleRecord());
}

TEST_F(FilterTest, MatchesPrefixesWithTrailingStar) {
  ExpectAll(
      {
          {"NAME = 'Sm*'", true},
          {"NAME = 'sm*'", false},
          {"UPPER(NAME) = 'SM*'", true},
          {"NAME <> 'Sm*'", false},
          {"NAME <> 'Jo*'", true},
          {"NAME = '*'", true},
          {"'Sm*' = NAME", true},
          {"NAME = 'Smith   *'", true},
          {"NAME = 'S*h'", false},  // only a trailing star is a pattern
          {"NAME > 'Sm*'", true},   // and only with = and <>
          {"\"FULL NAME\" = 'John S*'", true},
      },
      SampleRecord());
}

TEST_F(FilterTest, BindsOperatorsByPrecedence) {
  ExpectAll(
      {
          {"QTY = 1 OR QTY = 5 AND CITY = 'Riga'", true},
          {"QTY = 5 OR QTY = 1 AND CITY = 'Paris'", true},
          {"(QTY = 5 OR QTY = 1) AND CITY = 'Paris'", false},
          {"NOT QTY = 1 AND CITY = 'Riga'", true},
          {"NOT (QTY = 5 AND CITY = 'Paris')", true},
          {"NOT NOT PAID", true},
          {"QTY + 1 * 2 = 7", true},
          {"(QTY + 1) * 2 = 12", true},
          {"-QTY * 2 = -10", true},
          {"10 - 2 - 3 = 5", true},
          {"12 / 3 / 2 = 2", true},
          {"QTY + 1 IS NOT NULL", true},
          {"qty = 5 and not paid = false or city is null", true},
      },
      SampleRecord());
}

TEST_F(FilterTest, TreatsNullsAsUnknown) {
  ExpectAll(
      {
          {"NAME IS NULL", true},
          {"NAME IS NOT NULL", false},
          {"CITY IS NULL", true},  // blanks only
          {"CITY = ''", true},
          {"QTY = 0", false},
          {"QTY <> 0", false},
          {"NOT QTY = 0", false},
          {"QTY IS NULL", true},
          {"QTY = 0 OR TRUE", true},
          {"QTY = 0 AND FALSE", false},
          {"NOT (QTY = 0 AND FALSE)", true},
          {"QTY = 0 OR FALSE", false},
          {"QTY + 1 IS NULL", true},
          {"NAME = '*'", false},
          {"UPPER(NAME) IS NULL", true},
          {"PAID", false},
          {"NOT PAID", false},
          {"BORN < '01.01.2100'", false},
          {"PHOTO IS NULL", true},
      },
      NullRecord());

  // A short record or a value of a kind the field does not hold reads as null.
  ExpectAll({{"QTY IS NULL", true}, {"NAME = 'x'", false}}, Record{});
  Record foreign = SampleRecord();
  foreign[2] = Value::Text("5");
  foreign[5] = Value::Integer(3);
  ExpectAll({{"QTY IS NULL", true}, {"BORN IS NULL", true}, {"QTY = 5", false}}, foreign);
}

TEST_F(FilterTest, FailsRecordsThatDivideByZero) {
  ExpectAll(
      {
          {"QTY / 0 > 1", false},
          {"NOT (QTY / 0 > 1)", false},
          {"QTY / 0 IS NULL", false},
          {"PRICE / (QTY - 5) = 1", false},
          {"QTY / 0.0 < 1 OR TRUE", false},
          {"QTY = 5 OR QTY / 0 > 1", true},  // the right side is never computed
      },
      SampleRecord());
}

TEST_F(FilterTest, ComparesWholeNumbersExactly) {
  const Record record = {Value::Null(), Value::Null(), Value::Integer(9007199254740993)};
  ExpectAll({{"QTY = 9007199254740993", true}, {"QTY > 9007199254740992", true}}, record);
}

TEST_F(FilterTest, ReadsDatesInTheHostFormat) {
  HostFormats::SetShortDateFormat(DateFormat::Parse("mm/dd/yyyy"));
  ExpectAll({{"BORN = '03/15/2004'", true}, {"BORN = '2004-03-15'", true}}, SampleRecord());
  EXPECT_THROW(FilterExpression::Parse("BORN = '15.03.2004'", Fields()), TableError);
}

TEST_F(FilterTest, BlankTextIsNoFilter) {
  for (const char* text : {"", "   ", " \t\r\n"}) {
    const FilterExpression filter = FilterExpression::Parse(text, Fields());
    EXPECT_TRUE(filter.IsEmpty());
    EXPECT_TRUE(filter.Matches(NullRecord()));
  }
  EXPECT_TRUE(FilterExpression().Matches(Record{}));
  EXPECT_FALSE(FilterExpression::Parse("QTY > 0", Fields()).IsEmpty());
}

TEST_F(FilterTest, ReportsTheFaultAndItsPosition) {
  struct Fault {
    std::string filter;
    std::string what;
    int position;
  };
  const std::vector<Fault> faults = {
      {"QTYY > 0", "unknown field 'QTYY'", 1},
      {"\"FULL  NAME\" = 'x'", "unknown field 'FULL  NAME'", 1},
      {"(QTY > 0", "expected ')' but found end of the expression", 9},
      {"QTY > ", "expected a value but found end of the expression", 7},
      {"QTY > 0 AND", "expected a value but found end of the expression", 12},
      {"AND", "expected a value but found 'AND'", 1},
      {"NAME = 'abc", "text not closed by '", 8},
      {"\"FULL NAME = 'x'", "field name not closed by \"", 1},
      {"\"\" = 'x'", "empty field name", 1},
      {"QTY > 0 QTY", "unexpected 'QTY'", 9},
      {"QTY = 5 = 5", "unexpected '='", 9},
      {"QTY # 1", "unexpected character '#'", 5},
      {"QTY\x01", "unexpected character code 1", 4},
      {"QTY > 1.2.3", "bad number '1.2.3'", 7},
      {"QTY > 1e999", "bad number '1e999'", 7},
      {"QTY > 5x", "bad number '5x'", 7},
      {"NAME > 5", "cannot compare text with a number", 6},
      {"BORN = PAID", "cannot compare a date with a logical value", 6},
      {"QTY > 'abc'", "'abc' is not a number", 7},
      {"BORN = '31.02.2004'", "'31.02.2004' is not a date (dd.mm.yyyy or yyyy-mm-dd)", 8},
      {"STAMP = '2004-03-15T'", "'2004-03-15T' is not a date (dd.mm.yyyy or yyyy-mm-dd)", 9},
      {"AT = '25:00'", "'25:00' is not a date (dd.mm.yyyy or yyyy-mm-dd)", 6},
      {"PAID = 'maybe'", "'maybe' is not a logical value (TRUE, FALSE, 'T' or 'F')", 8},
      {"PHOTO = 'x'", "binary data can only be tested with IS NULL or IS NOT NULL", 7},
      {"QTY", "expected a condition but found a number", 1},
      {"QTY > 0 AND NAME", "expected a condition but found text", 13},
      {"NAME OR QTY > 0", "expected a condition but found text", 1},
      {"NOT QTY", "expected a condition but found a number", 5},
      {"NAME * 2 > 1", "cannot apply '*' to text and a number", 6},
      {"BORN + BORN > 1", "cannot apply '+' to a date and a date", 6},
      {"-NAME = 'x'", "sign '-' needs a number but found text", 1},
      {"FOO(NAME) = 'x'", "unknown function 'FOO'", 1},
      {"UPPER(QTY) = 'x'", "UPPER needs text but found a number", 7},
      {"SUBSTRING(NAME 1) = 'x'", "expected ',' but found '1'", 16},
      {"SUBSTRING(NAME, 'a') = 'x'", "SUBSTRING needs a number but found text", 17},
      {"TRIM(NAME", "expected ')' but found end of the expression", 10},
      {"QTY IS 5", "expected NULL but found '5'", 8},
      {"QTY = NULL", "NULL can only be tested with IS NULL or IS NOT NULL", 7},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.filter);
    try {
      FilterExpression::Parse(fault.filter, Fields());
      ADD_FAILURE() << "accepted";
    } catch (const TableError& error) {
      EXPECT_EQ(error.what(), "Filter expression error: " + fault.what + " at position " +
                                  std::to_string(fault.position) + " in \"" + fault.filter + "\"");
    }
  }
}

TEST_F(FilterTest, RefusesExpressionsTooDeepForTheStack) {
  std::string chain = "QTY";
  for (int i = 0; i < 3000; ++i)
    chain += " + 1";
  std::string negations;
  for (int i = 0; i < 1000; ++i)
    negations += "NOT ";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {std::string(1000, '(') + "QTY > 0" + std::string(1000, ')'), "expression nested too deeply"},
      {negations + "PAID", "expression nested too deeply"},
      {chain + " > 0", "expression too long"},
  };
  for (const auto& [text, what] : cases) {
    try {
      FilterExpression::Parse(text, Fields());
      ADD_FAILURE() << "accepted " << what;
    } catch (const TableError& error) {
      EXPECT_NE(std::string(error.what()).find(what), std::string::npos) << error.what();
    }
  }
}

}  // namespace
}  // namespace nox::tables

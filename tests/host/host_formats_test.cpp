#include "host/host_formats.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>

namespace nox::host {
namespace {

using Order = DateFormat::Order;

// Saves the process-wide formats and the variables the tests change, and puts them back.
class HostFormatsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedFormat_ = HostFormats::ShortDateFormat();
    savedSeparator_ = HostFormats::DecimalSeparator();
    for (const char* name : kVariables) {
      if (const char* value = std::getenv(name)) savedEnv_[name] = value;
    }
  }
  void TearDown() override {
    for (const char* name : kVariables) {
      const auto it = savedEnv_.find(name);
      if (it == savedEnv_.end()) {
        unsetenv(name);
      } else {
        setenv(name, it->second.c_str(), 1);
      }
    }
    HostFormats::SetShortDateFormat(savedFormat_);
    HostFormats::SetDecimalSeparator(savedSeparator_);
  }
  // A C locale, so that only the overrides decide.
  static void UseCLocale() {
    setenv("LC_ALL", "C", 1);
    unsetenv("NOX_DATE_FORMAT");
    unsetenv("NOX_DECIMAL_SEPARATOR");
  }

 private:
  static constexpr const char* kVariables[] = {
      "LC_ALL", "LC_TIME", "LC_NUMERIC", "LANG", "NOX_DATE_FORMAT", "NOX_DECIMAL_SEPARATOR"};
  DateFormat savedFormat_;
  char savedSeparator_ = '.';
  std::map<std::string, std::string> savedEnv_;
};

TEST(DateFormatTest, ParsesPatterns) {
  struct Case {
    const char* pattern;
    Order order;
    char separator;
    bool twoDigitDay, twoDigitMonth, fourDigitYear;
  };
  const Case cases[] = {
      {"dd.mm.yyyy", Order::DayMonthYear, '.', true, true, true},
      {"mm/dd/yyyy", Order::MonthDayYear, '/', true, true, true},
      {"d.m.yy", Order::DayMonthYear, '.', false, false, false},
      {"yyyy-mm-dd", Order::YearMonthDay, '-', true, true, true},
      {"m/d/yy", Order::MonthDayYear, '/', false, false, false},
      {"DD.MM.YYYY", Order::DayMonthYear, '.', true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    const DateFormat format = DateFormat::Parse(c.pattern);
    EXPECT_EQ(format.order, c.order);
    EXPECT_EQ(format.separator, c.separator);
    EXPECT_EQ(format.twoDigitDay, c.twoDigitDay);
    EXPECT_EQ(format.twoDigitMonth, c.twoDigitMonth);
    EXPECT_EQ(format.fourDigitYear, c.fourDigitYear);
    if (c.pattern[0] != 'D') {
      EXPECT_EQ(format.Pattern(), c.pattern);
    }
  }
}

TEST(DateFormatTest, RejectsWhatIsNoPattern) {
  for (const char* pattern :
       {"", "dd.mm", "dd.mm.yyyy.", "ddd.mm.yyyy", "dd.mm.yyy", "dd.mm/yyyy", "dd.dd.yyyy",
        "mm.yyyy.dd", "dd..mm.yyyy", "dd.mm.yyyy dd", "xx.mm.yy", "dd1mm1yyyy", "ddmmyyyy"}) {
    SCOPED_TRACE(pattern);
    try {
      DateFormat::Parse(pattern);
      ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& error) {
      EXPECT_NE(std::string(error.what()).find('"' + std::string(pattern) + '"'), std::string::npos)
          << error.what();
    }
  }
}

TEST(DateFormatTest, ConvertsLocaleFormats) {
  struct Case {
    const char* strftime;
    const char* pattern;  // nullptr: not convertible
  };
  const Case cases[] = {
      {"%d.%m.%Y", "dd.mm.yyyy"}, {"%m/%d/%y", "mm/dd/yy"}, {"%Y.%m.%d.", "yyyy.mm.dd"},
      {"%F", "yyyy-mm-dd"},       {"%D", "mm/dd/yy"},       {"%e/%m/%Y", "d/mm/yyyy"},
      {"%a %d %b %Y", nullptr},   {"%d.%m.%Y %", nullptr},  {"%x", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.strftime);
    const auto format = DateFormat::FromStrftime(c.strftime);
    if (c.pattern == nullptr) {
      EXPECT_FALSE(format.has_value());
    } else {
      ASSERT_TRUE(format.has_value());
      EXPECT_EQ(format->Pattern(), c.pattern);
    }
  }
}

TEST(CalendarTest, KnowsLeapYearsAndMonthLengths) {
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(2024));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_FALSE(IsLeapYear(2023));
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(2100, 2), 28);
  EXPECT_EQ(DaysInMonth(2023, 4), 30);
  EXPECT_EQ(DaysInMonth(2023, 12), 31);
  EXPECT_EQ(DaysInMonth(2023, 0), 0);
  EXPECT_EQ(DaysInMonth(2023, 13), 0);
  EXPECT_FALSE(IsValidDate({0, 1, 1}));
  EXPECT_FALSE(IsValidDate({10000, 1, 1}));
  EXPECT_TRUE(IsValidDate({9999, 12, 31}));
  EXPECT_TRUE(IsValidDate({1, 1, 1}));
}

TEST(ParseDateTest, ReadsDatesByFormat) {
  struct Case {
    const char* pattern;
    const char* text;
    std::optional<CivilDate> expected;
  };
  const Case cases[] = {
      {"dd.mm.yyyy", "15.01.2024", CivilDate{2024, 1, 15}},
      {"dd.mm.yyyy", "5.1.2024", CivilDate{2024, 1, 5}},
      {"dd.mm.yyyy", "  05.01.2024 ", CivilDate{2024, 1, 5}},
      {"dd.mm.yyyy", "29.02.2024", CivilDate{2024, 2, 29}},
      {"dd.mm.yyyy", "29.02.2000", CivilDate{2000, 2, 29}},
      {"dd.mm.yyyy", "29.02.2023", std::nullopt},
      {"dd.mm.yyyy", "29.02.1900", std::nullopt},
      {"dd.mm.yyyy", "31.02.2004", std::nullopt},
      {"dd.mm.yyyy", "31.04.2004", std::nullopt},
      {"dd.mm.yyyy", "00.01.2004", std::nullopt},
      {"dd.mm.yyyy", "01.13.2004", std::nullopt},
      {"dd.mm.yyyy", "01.00.2004", std::nullopt},
      {"dd.mm.yyyy", "01.01.0000", std::nullopt},
      {"dd.mm.yyyy", "", std::nullopt},
      {"dd.mm.yyyy", "   ", std::nullopt},
      {"dd.mm.yyyy", "abc", std::nullopt},
      {"dd.mm.yyyy", "01.01", std::nullopt},
      {"dd.mm.yyyy", "01.01.2004.", std::nullopt},
      {"dd.mm.yyyy", "01.01.2004.05", std::nullopt},
      {"dd.mm.yyyy", "001.01.2004", std::nullopt},
      {"dd.mm.yyyy", "01.01.20041", std::nullopt},
      {"dd.mm.yyyy", "01/01/2004", std::nullopt},
      {"dd.mm.yyyy", "+1.01.2004", std::nullopt},
      {"dd.mm.yyyy", "1 .01.2004", std::nullopt},
      {"dd.mm.yyyy", "..", std::nullopt},
      {"dd.mm.yyyy", "1.1.999", CivilDate{999, 1, 1}},
      {"mm/dd/yyyy", "02/29/2024", CivilDate{2024, 2, 29}},
      {"mm/dd/yyyy", "12/31/1999", CivilDate{1999, 12, 31}},
      {"mm/dd/yyyy", "31/12/1999", std::nullopt},
      {"yyyy-mm-dd", "2024-03-07", CivilDate{2024, 3, 7}},
      {"yyyy-mm-dd", "2024-3-7", CivilDate{2024, 3, 7}},
      {"yyyy-mm-dd", "07-03-2024", std::nullopt},
      // Two-digit years in the window around 2026: 00..76 and 77..99.
      {"dd.mm.yy", "01.01.26", CivilDate{2026, 1, 1}},
      {"dd.mm.yy", "01.01.76", CivilDate{2076, 1, 1}},
      {"dd.mm.yy", "01.01.77", CivilDate{1977, 1, 1}},
      {"dd.mm.yy", "01.01.99", CivilDate{1999, 1, 1}},
      {"dd.mm.yy", "01.01.00", CivilDate{2000, 1, 1}},
      {"dd.mm.yy", "01.01.5", CivilDate{2005, 1, 1}},
      {"dd.mm.yy", "29.02.00", CivilDate{2000, 2, 29}},
      {"dd.mm.yy", "29.02.99", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " '" + c.text + "'");
    EXPECT_EQ(ParseDate(c.text, DateFormat::Parse(c.pattern), 2026), c.expected);
  }
}

TEST(ParseDateTest, TwoDigitYearWindowFollowsTheCurrentYear) {
  const DateFormat format = DateFormat::Parse("dd.mm.yy");
  EXPECT_EQ(ParseDate("1.1.24", format, 2075)->year, 2124);
  EXPECT_EQ(ParseDate("1.1.25", format, 2075)->year, 2125);
  EXPECT_EQ(ParseDate("1.1.26", format, 2075)->year, 2026);
  EXPECT_EQ(ParseDate("1.1.50", format, 2000)->year, 2050);
  EXPECT_EQ(ParseDate("1.1.51", format, 2000)->year, 1951);
}

TEST(FormatDateTest, WritesDatesByFormat) {
  struct Case {
    const char* pattern;
    CivilDate date;
    const char* expected;
  };
  const Case cases[] = {
      {"dd.mm.yyyy", {2024, 1, 5}, "05.01.2024"}, {"d.m.yyyy", {2024, 1, 5}, "5.1.2024"},
      {"d.m.yyyy", {2024, 11, 25}, "25.11.2024"}, {"mm/dd/yy", {1999, 12, 31}, "12/31/99"},
      {"mm/dd/yy", {2005, 3, 4}, "03/04/05"},     {"yyyy-mm-dd", {2024, 3, 7}, "2024-03-07"},
      {"dd.mm.yyyy", {999, 1, 1}, "01.01.0999"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    const DateFormat format = DateFormat::Parse(c.pattern);
    EXPECT_EQ(FormatDate(c.date, format), c.expected);
    EXPECT_EQ(ParseDate(c.expected, format, 2026), c.date);
  }
}

TEST_F(HostFormatsTest, HostDateUsesTheProcessFormat) {
  HostFormats::SetShortDateFormat(DateFormat::Parse("mm/dd/yyyy"));
  EXPECT_EQ(FormatHostDate({2024, 2, 29}), "02/29/2024");
  EXPECT_EQ(ParseHostDate("02/29/2024"), (CivilDate{2024, 2, 29}));
  EXPECT_EQ(ParseHostDate("29.02.2024"), std::nullopt);
}

TEST_F(HostFormatsTest, CLocaleGivesTheDefaults) {
  UseCLocale();
  HostFormats::SetShortDateFormat(DateFormat::Parse("yyyy-mm-dd"));
  HostFormats::SetDecimalSeparator(',');
  HostFormats::LoadFromEnvironment();
  EXPECT_EQ(HostFormats::ShortDateFormat().Pattern(), "dd.mm.yyyy");
  EXPECT_EQ(HostFormats::DecimalSeparator(), '.');
}

TEST_F(HostFormatsTest, EnvironmentOverridesTheLocale) {
  UseCLocale();
  setenv("NOX_DATE_FORMAT", "m/d/yy", 1);
  setenv("NOX_DECIMAL_SEPARATOR", ",", 1);
  HostFormats::LoadFromEnvironment();
  EXPECT_EQ(HostFormats::ShortDateFormat().Pattern(), "m/d/yy");
  EXPECT_EQ(HostFormats::DecimalSeparator(), ',');
}

TEST_F(HostFormatsTest, BadOverrideNamesVariableAndValueAndChangesNothing) {
  struct Case {
    const char* variable;
    const char* value;
  };
  const Case cases[] = {{"NOX_DATE_FORMAT", "dd.mm"},
                        {"NOX_DATE_FORMAT", "yyyy/mm/dd/"},
                        {"NOX_DECIMAL_SEPARATOR", ",,"},
                        {"NOX_DECIMAL_SEPARATOR", "5"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.variable) + "=" + c.value);
    UseCLocale();
    setenv("NOX_DATE_FORMAT", "yyyy-mm-dd", 1);  // valid; must not be taken either
    setenv(c.variable, c.value, 1);
    HostFormats::SetShortDateFormat(DateFormat::Parse("mm/dd/yyyy"));
    HostFormats::SetDecimalSeparator(';');
    try {
      HostFormats::LoadFromEnvironment();
      ADD_FAILURE() << "accepted";
    } catch (const std::invalid_argument& error) {
      const std::string message = error.what();
      EXPECT_NE(message.find(c.variable), std::string::npos) << message;
      EXPECT_NE(message.find(std::string("\"") + c.value + "\""), std::string::npos) << message;
    }
    EXPECT_EQ(HostFormats::ShortDateFormat().Pattern(), "mm/dd/yyyy");
    EXPECT_EQ(HostFormats::DecimalSeparator(), ';');
  }
}

TEST_F(HostFormatsTest, CalculationScopeUsesPointAndRestoresTheSeparator) {
  struct Case {
    char host;
    char reported;  // HostSeparator(): "." stands for a blank one
  };
  const Case cases[] = {{',', ','}, {'.', '.'}, {' ', '.'}, {'\t', '.'}, {'\0', '.'}};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.host));
    HostFormats::SetDecimalSeparator(c.host);
    {
      CalculationSeparatorScope scope;
      EXPECT_EQ(HostFormats::DecimalSeparator(), '.');
      EXPECT_EQ(scope.HostSeparator(), c.reported);
    }
    EXPECT_EQ(HostFormats::DecimalSeparator(), c.host);
  }
}

TEST_F(HostFormatsTest, CalculationScopeRestoresWhenAnErrorPassesThrough) {
  HostFormats::SetDecimalSeparator(',');
  EXPECT_THROW(
      {
        CalculationSeparatorScope scope;
        {
          CalculationSeparatorScope nested;
          EXPECT_EQ(nested.HostSeparator(), '.');
          throw std::runtime_error("division by zero");
        }
      },
      std::runtime_error);
  EXPECT_EQ(HostFormats::DecimalSeparator(), ',');
}

}  // namespace
}  // namespace nox::host

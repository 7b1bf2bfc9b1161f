#include "host/date_time.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace nox::host {
namespace {

TEST(DateTimeTest, EncodesAndDecodesDates) {
  struct Case {
    CivilDate date;
    double number;
  };
  const Case cases[] = {
      {{1899, 12, 30}, 0},       {{1899, 12, 31}, 1},    {{1900, 1, 1}, 2},
      {{1899, 12, 29}, -1},      {{1900, 3, 1}, 61},     {{2000, 1, 1}, 36526},
      {{2024, 2, 29}, 45351},    {{1, 1, 1}, -693593},   {{9999, 12, 31}, 2958465},
      {{1582, 10, 15}, -115858}, {{1800, 1, 1}, -36522},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(EncodeDate(c.date), c.number);
    EXPECT_EQ(DecodeDate(c.number), c.date);
  }
}

TEST(DateTimeTest, EveryDayOfAFourHundredYearCycleRoundTrips) {
  CivilDate date{1899, 12, 30};
  for (int day = 0; day < 146097; ++day) {
    ASSERT_EQ(EncodeDate(date), day) << date.year << "-" << date.month << "-" << date.day;
    ASSERT_EQ(DecodeDate(day), date);
    if (++date.day > DaysInMonth(date.year, date.month)) {
      date.day = 1;
      if (++date.month > 12) {
        date.month = 1;
        ++date.year;
      }
    }
  }
}

TEST(DateTimeTest, RejectsInvalidDatesAndTimes) {
  EXPECT_THROW(EncodeDate({2023, 2, 29}), std::invalid_argument);
  EXPECT_THROW(EncodeDate({0, 1, 1}), std::invalid_argument);
  EXPECT_THROW(EncodeDate({2023, 13, 1}), std::invalid_argument);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), std::invalid_argument);
  EXPECT_THROW(EncodeTime(0, 60, 0, 0), std::invalid_argument);
  EXPECT_THROW(EncodeTime(0, 0, 60, 0), std::invalid_argument);
  EXPECT_THROW(EncodeTime(0, 0, 0, 1000), std::invalid_argument);
  EXPECT_THROW(EncodeTime(-1, 0, 0, 0), std::invalid_argument);
}

TEST(DateTimeTest, TimeFractionCountsForwardAlsoBefore1900) {
  struct Case {
    double number;
    CivilDate date;
    int hour, minute, second, msec;
  };
  const Case cases[] = {
      {0.25, {1899, 12, 30}, 6, 0, 0, 0},
      {-1.25, {1899, 12, 29}, 6, 0, 0, 0},
      {-1.75, {1899, 12, 29}, 18, 0, 0, 0},
      {45351.5, {2024, 2, 29}, 12, 0, 0, 0},
      {45351 + (13 * 3600 + 14 * 60 + 15.5) / 86400.0, {2024, 2, 29}, 13, 14, 15, 500},
      // A hair below midnight rounds to the next day's start.
      {45351.999999999, {2024, 3, 1}, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(DecodeDate(c.number), c.date);
    int hour = -1, minute = -1, second = -1, msec = -1;
    DecodeTime(c.number, hour, minute, second, msec);
    EXPECT_EQ(hour, c.hour);
    EXPECT_EQ(minute, c.minute);
    EXPECT_EQ(second, c.second);
    EXPECT_EQ(msec, c.msec);
  }
  EXPECT_DOUBLE_EQ(EncodeDateTime({1899, 12, 29}, 6, 0, 0, 0), -1.25);
  EXPECT_DOUBLE_EQ(EncodeDateTime({2024, 2, 29}, 12, 0, 0, 0), 45351.5);
  EXPECT_DOUBLE_EQ(EncodeTime(18, 0, 0, 0), 0.75);
}

TEST(DateTimeTest, NumbersOutsideTheDateRangeGiveNoDate) {
  const double inf = std::numeric_limits<double>::infinity();
  for (double number :
       {-693594.0, 2958466.0, 1e300, -1e300, inf, -inf, std::numeric_limits<double>::quiet_NaN()}) {
    SCOPED_TRACE(number);
    EXPECT_EQ(DecodeDate(number), CivilDate{});
    int hour = -1, minute = -1, second = -1, msec = -1;
    DecodeTime(number, hour, minute, second, msec);
    EXPECT_EQ(hour + minute + second + msec, 0);
    EXPECT_EQ(DateTimeToHostText(number), "");
  }
}

TEST(DateTimeTest, HostTextShowsTheTimeOnlyWhenThereIsOne) {
  const DateFormat saved = HostFormats::ShortDateFormat();
  HostFormats::SetShortDateFormat(DateFormat::Parse("dd.mm.yyyy"));
  EXPECT_EQ(DateTimeToHostText(45351), "29.02.2024");
  EXPECT_EQ(DateTimeToHostText(EncodeDateTime({2024, 2, 29}, 7, 5, 9, 0)), "29.02.2024 07:05:09");
  EXPECT_EQ(DateTimeToHostText(EncodeDateTime({1899, 12, 29}, 23, 59, 59, 0)),
            "29.12.1899 23:59:59");
  EXPECT_EQ(DateTimeToHostText(EncodeDateTime({2024, 2, 29}, 0, 0, 0, 400)), "29.02.2024");
  HostFormats::SetShortDateFormat(DateFormat::Parse("m/d/yy"));
  EXPECT_EQ(DateTimeToHostText(45351.5), "2/29/24 12:00:00");
  HostFormats::SetShortDateFormat(saved);
}

}  // namespace
}  // namespace nox::host

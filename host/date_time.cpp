#include "host/date_time.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>

namespace nox::host {
namespace {

constexpr std::int64_t kMsecPerDay = 86'400'000;

// Days from 1 January 1970 to a civil date (proleptic Gregorian), and back.
constexpr std::int64_t DaysFromCivil(int year, int month, int day) {
  const std::int64_t y = year - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yearOfEra = y - era * 400;
  const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

CivilDate CivilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t dayOfEra = days - era * 146097;
  const std::int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::int64_t mp = (5 * dayOfYear + 2) / 153;
  const auto day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
  const auto month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const auto year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
  return {year, month, day};
}

constexpr std::int64_t kDayZero = DaysFromCivil(1899, 12, 30);
constexpr std::int64_t kFirstDay = DaysFromCivil(1, 1, 1) - kDayZero;
constexpr std::int64_t kLastDay = DaysFromCivil(9999, 12, 31) - kDayZero;

// A date-time number split into its day and its milliseconds into that day; rounding to the
// millisecond may carry into the day. Nothing outside the date range.
struct Stamp {
  std::int64_t day;
  std::int64_t msec;
};

std::optional<Stamp> ToStamp(double dateTime) {
  // The range check comes before the conversion to an integer, which would overflow otherwise.
  if (!std::isfinite(dateTime) || dateTime < static_cast<double>(kFirstDay - 1) ||
      dateTime > static_cast<double>(kLastDay + 1)) {
    return std::nullopt;
  }
  const auto total = static_cast<std::int64_t>(std::llround(dateTime * kMsecPerDay));
  const Stamp stamp{total / kMsecPerDay, std::abs(total) % kMsecPerDay};
  if (stamp.day < kFirstDay || stamp.day > kLastDay) return std::nullopt;
  return stamp;
}

std::string TwoDigits(std::int64_t number) {
  return {static_cast<char>('0' + number / 10), static_cast<char>('0' + number % 10)};
}

}  // namespace

double EncodeDate(const CivilDate& date) {
  if (!IsValidDate(date)) {
    throw std::invalid_argument("Invalid date " + std::to_string(date.year) + "-" +
                                std::to_string(date.month) + "-" + std::to_string(date.day));
  }
  return static_cast<double>(DaysFromCivil(date.year, date.month, date.day) - kDayZero);
}

CivilDate DecodeDate(double dateTime) {
  const auto stamp = ToStamp(dateTime);
  if (!stamp) return {};
  return CivilFromDays(stamp->day + kDayZero);
}

double EncodeTime(int hour, int minute, int second, int msec) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 ||
      msec > 999) {
    throw std::invalid_argument("Invalid time " + std::to_string(hour) + ":" +
                                std::to_string(minute) + ":" + std::to_string(second) + "." +
                                std::to_string(msec));
  }
  const std::int64_t total = ((hour * 60LL + minute) * 60 + second) * 1000 + msec;
  return static_cast<double>(total) / kMsecPerDay;
}

void DecodeTime(double dateTime, int& hour, int& minute, int& second, int& msec) {
  const std::int64_t total = ToStamp(dateTime).value_or(Stamp{0, 0}).msec;
  hour = static_cast<int>(total / 3'600'000);
  minute = static_cast<int>(total / 60'000 % 60);
  second = static_cast<int>(total / 1000 % 60);
  msec = static_cast<int>(total % 1000);
}

double EncodeDateTime(const CivilDate& date, int hour, int minute, int second, int msec) {
  const double day = EncodeDate(date);
  const double time = EncodeTime(hour, minute, second, msec);
  return day < 0 ? day - time : day + time;
}

std::string DateTimeToHostText(double dateTime) {
  const auto stamp = ToStamp(dateTime);
  if (!stamp) return {};
  std::string text = FormatHostDate(CivilFromDays(stamp->day + kDayZero));
  const std::int64_t seconds = stamp->msec / 1000;
  if (seconds != 0) {
    text += ' ' + TwoDigits(seconds / 3600) + ':' + TwoDigits(seconds / 60 % 60) + ':' +
            TwoDigits(seconds % 60);
  }
  return text;
}

}  // namespace nox::host

#include "host/host_formats.h"

#include <langinfo.h>
#include <locale.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace nox::host {
namespace {

constexpr DateFormat kDefaultDateFormat{};  // dd.mm.yyyy
constexpr char kDefaultDecimalSeparator = '.';

// The process-wide state, constant-initialised so that it is usable during static initialisation.
// Everything runs on one thread, so plain variables do.
DateFormat currentDateFormat = kDefaultDateFormat;
char currentDecimalSeparator = kDefaultDecimalSeparator;

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view TrimBlanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  return text;
}

// The locale name a category resolves to from the environment, as newlocale would resolve "".
std::string_view LocaleNameFromEnvironment(const char* categoryVariable) {
  for (const char* variable : {"LC_ALL", categoryVariable, "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

bool IsCLocale(std::string_view name) {
  return name == "C" || name == "POSIX" || name.starts_with("C.");
}

}  // namespace

std::optional<DateFormat> DateFormat::FromStrftime(std::string_view format) {
  std::string pattern;
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') {
      pattern += format[i];
      continue;
    }
    if (++i == format.size()) return std::nullopt;
    switch (format[i]) {
      case 'd':
        pattern += "dd";
        break;
      case 'e':
        pattern += "d";
        break;
      case 'm':
        pattern += "mm";
        break;
      case 'y':
        pattern += "yy";
        break;
      case 'Y':
        pattern += "yyyy";
        break;
      case 'D':
        pattern += "mm/dd/yy";
        break;
      case 'F':
        pattern += "yyyy-mm-dd";
        break;
      default:
        return std::nullopt;
    }
  }
  // Some locales end the date with its separator ("%Y.%m.%d."); the pattern has none there.
  while (!pattern.empty() && !IsAsciiLetter(pattern.back()))
    pattern.pop_back();
  try {
    return DateFormat::Parse(pattern);
  } catch (const std::invalid_argument&) {
    return std::nullopt;
  }
}

namespace {

DateFormat LocaleDateFormat() {
  if (IsCLocale(LocaleNameFromEnvironment("LC_TIME"))) return kDefaultDateFormat;
  locale_t locale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
  if (locale == static_cast<locale_t>(nullptr)) return kDefaultDateFormat;
  const auto format = DateFormat::FromStrftime(nl_langinfo_l(D_FMT, locale));
  freelocale(locale);
  return format.value_or(kDefaultDateFormat);
}

char LocaleDecimalSeparator() {
  if (IsCLocale(LocaleNameFromEnvironment("LC_NUMERIC"))) return kDefaultDecimalSeparator;
  locale_t locale = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
  if (locale == static_cast<locale_t>(nullptr)) return kDefaultDecimalSeparator;
  const std::string_view radix = nl_langinfo_l(RADIXCHAR, locale);
  const char separator = radix.size() == 1 ? radix[0] : kDefaultDecimalSeparator;
  freelocale(locale);
  return separator;
}

// Reads 1..maxDigits decimal digits making up the whole field.
std::optional<int> ReadNumber(std::string_view field, std::size_t maxDigits) {
  if (field.empty() || field.size() > maxDigits) return std::nullopt;
  int number = 0;
  for (const char c : field) {
    if (!IsDigit(c)) return std::nullopt;
    number = number * 10 + (c - '0');
  }
  return number;
}

int CurrentYear() {
  const auto today = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
  return static_cast<int>(std::chrono::year_month_day(today).year());
}

std::string Padded(int number, std::size_t width) {
  std::string text = std::to_string(number);
  if (text.size() < width) text.insert(0, width - text.size(), '0');
  return text;
}

}  // namespace

DateFormat DateFormat::Parse(std::string_view pattern) {
  const auto invalid = [pattern] {
    return std::invalid_argument("Invalid date format \"" + std::string(pattern) +
                                 "\": expected day, month and year such as dd.mm.yyyy");
  };
  DateFormat format;
  std::string order;  // 'd', 'm', 'y' in the order they appear
  bool haveSeparator = false;
  std::size_t i = 0;
  while (i < pattern.size()) {
    const char letter = Lower(pattern[i]);
    std::size_t run = 0;
    while (i + run < pattern.size() && Lower(pattern[i + run]) == letter)
      ++run;
    if (letter == 'd' || letter == 'm') {
      if (run > 2) throw invalid();
      (letter == 'd' ? format.twoDigitDay : format.twoDigitMonth) = run == 2;
    } else if (letter == 'y') {
      if (run != 2 && run != 4) throw invalid();
      format.fourDigitYear = run == 4;
    } else {
      throw invalid();
    }
    if (order.find(letter) != std::string::npos) throw invalid();
    order += letter;
    i += run;
    if (i == pattern.size()) break;
    // One separator character between the parts, the same each time.
    const char separator = pattern[i];
    if (IsAsciiLetter(separator) || IsDigit(separator) || order.size() == 3) throw invalid();
    if (haveSeparator && separator != format.separator) throw invalid();
    format.separator = separator;
    haveSeparator = true;
    if (++i == pattern.size()) throw invalid();
  }
  if (order == "dmy") {
    format.order = Order::DayMonthYear;
  } else if (order == "mdy") {
    format.order = Order::MonthDayYear;
  } else if (order == "ymd") {
    format.order = Order::YearMonthDay;
  } else {
    throw invalid();
  }
  return format;
}

std::string DateFormat::Pattern() const {
  const std::string day = twoDigitDay ? "dd" : "d";
  const std::string month = twoDigitMonth ? "mm" : "m";
  const std::string year = fourDigitYear ? "yyyy" : "yy";
  const std::string sep(1, separator);
  switch (order) {
    case Order::MonthDayYear:
      return month + sep + day + sep + year;
    case Order::YearMonthDay:
      return year + sep + month + sep + day;
    case Order::DayMonthYear:
      break;
  }
  return day + sep + month + sep + year;
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(const CivilDate& date) {
  return date.year >= 1 && date.year <= 9999 && date.day >= 1 &&
         date.day <= DaysInMonth(date.year, date.month);
}

const DateFormat& HostFormats::ShortDateFormat() {
  return currentDateFormat;
}

void HostFormats::SetShortDateFormat(const DateFormat& format) {
  currentDateFormat = format;
}

char HostFormats::DecimalSeparator() {
  return currentDecimalSeparator;
}

void HostFormats::SetDecimalSeparator(char separator) {
  currentDecimalSeparator = separator;
}

void HostFormats::LoadFromEnvironment() {
  // Everything is read first, so that a bad override leaves the formats as they were.
  DateFormat dateFormat = LocaleDateFormat();
  char separator = LocaleDecimalSeparator();
  if (const char* pattern = std::getenv("NOX_DATE_FORMAT"); pattern != nullptr && *pattern) {
    try {
      dateFormat = DateFormat::Parse(pattern);
    } catch (const std::invalid_argument& error) {
      throw std::invalid_argument(std::string("NOX_DATE_FORMAT: ") + error.what());
    }
  }
  if (const char* text = std::getenv("NOX_DECIMAL_SEPARATOR"); text != nullptr && *text) {
    const std::string_view value = text;
    if (value.size() != 1 || IsDigit(value[0]) || value[0] == '-' || value[0] == '+') {
      throw std::invalid_argument("NOX_DECIMAL_SEPARATOR: invalid decimal separator \"" +
                                  std::string(value) + "\": expected one character such as , or .");
    }
    separator = value[0];
  }
  SetShortDateFormat(dateFormat);
  SetDecimalSeparator(separator);
}

std::string FormatDate(const CivilDate& date, const DateFormat& format) {
  const std::string day = Padded(date.day, format.twoDigitDay ? 2 : 1);
  const std::string month = Padded(date.month, format.twoDigitMonth ? 2 : 1);
  const std::string year = format.fourDigitYear ? Padded(date.year, 4) : Padded(date.year % 100, 2);
  const std::string sep(1, format.separator);
  switch (format.order) {
    case DateFormat::Order::MonthDayYear:
      return month + sep + day + sep + year;
    case DateFormat::Order::YearMonthDay:
      return year + sep + month + sep + day;
    case DateFormat::Order::DayMonthYear:
      break;
  }
  return day + sep + month + sep + year;
}

std::string FormatHostDate(const CivilDate& date) {
  return FormatDate(date, HostFormats::ShortDateFormat());
}

std::optional<CivilDate> ParseDate(std::string_view text, const DateFormat& format,
                                   int currentYear) {
  text = TrimBlanks(text);
  std::string_view fields[3];
  for (int i = 0; i < 3; ++i) {
    const std::size_t end = i < 2 ? text.find(format.separator) : text.size();
    if (end == std::string_view::npos) return std::nullopt;
    fields[i] = text.substr(0, end);
    text.remove_prefix(i < 2 ? end + 1 : end);
  }
  int dayField = 0;
  int monthField = 1;
  int yearField = 2;
  if (format.order == DateFormat::Order::MonthDayYear) {
    dayField = 1;
    monthField = 0;
  } else if (format.order == DateFormat::Order::YearMonthDay) {
    dayField = 2;
    yearField = 0;
  }
  const auto day = ReadNumber(fields[dayField], 2);
  const auto month = ReadNumber(fields[monthField], 2);
  const auto year = ReadNumber(fields[yearField], 4);
  if (!day || !month || !year) return std::nullopt;
  CivilDate date{*year, *month, *day};
  if (fields[yearField].size() <= 2) {
    // The century that puts the year within 50 years of the current one (later side inclusive).
    date.year += currentYear - currentYear % 100;
    if (date.year > currentYear + 50) date.year -= 100;
    if (date.year <= currentYear - 50) date.year += 100;
  }
  if (!IsValidDate(date)) return std::nullopt;
  return date;
}

std::optional<CivilDate> ParseHostDate(std::string_view text) {
  return ParseDate(text, HostFormats::ShortDateFormat(), CurrentYear());
}

CalculationSeparatorScope::CalculationSeparatorScope()
    : savedSeparator_(HostFormats::DecimalSeparator()), hostSeparator_(savedSeparator_) {
  const auto byte = static_cast<unsigned char>(savedSeparator_);
  if (byte <= ' ' || byte == 0x7F) hostSeparator_ = '.';
  HostFormats::SetDecimalSeparator('.');
}

CalculationSeparatorScope::~CalculationSeparatorScope() {
  HostFormats::SetDecimalSeparator(savedSeparator_);
}

}  // namespace nox::host

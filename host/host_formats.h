#pragma once
// The host's short date format and decimal separator: one process-wide place.
//
// At start-up they come from the user's locale (LC_TIME / LC_NUMERIC); in the C/POSIX locale the
// date format is "dd.mm.yyyy" and the separator ".". The environment variables NOX_DATE_FORMAT
// (e.g. "mm/dd/yyyy") and NOX_DECIMAL_SEPARATOR (one character) override them for a run.

#include <optional>
#include <string>
#include <string_view>

namespace nox::host {

// A short date format: the order of day, month and year plus the separator between them.
// Written as a pattern such as "dd.mm.yyyy", "m/d/yy" or "yyyy-mm-dd".
struct DateFormat {
  enum class Order { DayMonthYear, MonthDayYear, YearMonthDay };
  Order order = Order::DayMonthYear;
  char separator = '.';
  bool twoDigitDay = true;    // "dd" rather than "d"
  bool twoDigitMonth = true;  // "mm" rather than "m"
  bool fourDigitYear = true;  // "yyyy" rather than "yy"

  // Parses a pattern; raises std::invalid_argument naming the pattern when it is not one.
  static DateFormat Parse(std::string_view pattern);
  // Converts a locale's strftime date format ("%d.%m.%Y", "%m/%d/%y", "%F", "%Y.%m.%d."); nothing
  // when it holds anything but day, month, year and separators.
  static std::optional<DateFormat> FromStrftime(std::string_view format);
  std::string Pattern() const;
};

// A calendar date (proleptic Gregorian).
struct CivilDate {
  int year = 0;
  int month = 0;
  int day = 0;
  friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);     // 0 for a month outside 1..12
bool IsValidDate(const CivilDate& date);  // also false for a year outside 1..9999

// The process-wide host formats.
class HostFormats {
 public:
  static const DateFormat& ShortDateFormat();
  static void SetShortDateFormat(const DateFormat& format);
  static char DecimalSeparator();
  static void SetDecimalSeparator(char separator);

  // Re-reads the locale and the environment overrides (done once at start-up).
  static void LoadFromEnvironment();
};

// Writes a date in the host's short date format.
std::string FormatHostDate(const CivilDate& date);
std::string FormatDate(const CivilDate& date, const DateFormat& format);

// Reads a date by the format's order and separator: one- or two-digit day and month, a year of
// one to four digits; a one- or two-digit year falls in the 100-year window centred on the current
// year: the year within 50 years of it, the later one on a tie (in 2026: 00..76 are 2000..2076,
// 77..99 are 1977..1999). Surrounding blanks are ignored. Gives nothing for an invalid date
// (31.02.2004, 29.02.2003).
std::optional<CivilDate> ParseHostDate(std::string_view text);
std::optional<CivilDate> ParseDate(std::string_view text, const DateFormat& format,
                                   int currentYear);

// For the duration of a calculation every number conversion uses "." as the decimal separator;
// the host's separator comes back when the scope ends, however it ends.
class CalculationSeparatorScope {
 public:
  CalculationSeparatorScope();
  ~CalculationSeparatorScope();
  CalculationSeparatorScope(const CalculationSeparatorScope&) = delete;
  CalculationSeparatorScope& operator=(const CalculationSeparatorScope&) = delete;
  // The separator in force when the scope began ("." when that one was blank).
  char HostSeparator() const { return hostSeparator_; }
  // Whether texts written with HostSeparator() read back with the separator in force (it was not
  // blank).
  bool ReadsBack() const { return hostSeparator_ == savedSeparator_; }

 private:
  char savedSeparator_;
  char hostSeparator_;
};

}  // namespace nox::host

#pragma once
// The engine's date-and-time number: days since 30 December 1899 (day 0), the time of day as the
// fraction. Negative numbers are days before that date; the fraction always counts forward, so
// -1.25 is 29 December 1899, 06:00. Dates run from 1 January 1 to 31 December 9999.

#include "host/host_formats.h"

namespace nox::host {

// The date at midnight; raises std::invalid_argument naming the date when it is not valid.
double EncodeDate(const CivilDate& date);
// The date part; the invalid date {0, 0, 0} for a number outside the date range or not finite.
CivilDate DecodeDate(double dateTime);
// Fraction of a day; raises std::invalid_argument naming the time when a part is out of range.
double EncodeTime(int hour, int minute, int second, int msec);
// The time of day, to the nearest millisecond; all zero for a number outside the date range.
void DecodeTime(double dateTime, int& hour, int& minute, int& second, int& msec);
// Date and time together (a plain sum would count the time backwards before 30 December 1899).
double EncodeDateTime(const CivilDate& date, int hour, int minute, int second, int msec);

// Writes the date part in the host's short date format, followed by " hh:mm:ss" when the value
// has a time of day of a second or more; empty for a number outside the date range.
std::string DateTimeToHostText(double dateTime);

}  // namespace nox::host

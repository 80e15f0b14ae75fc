// Gregorian calendar arithmetic on plain integers. Pure; any thread.
#pragma once

#include <cstdint>

#include "core/date_time.h"

namespace orvik::core {

// Returns true for a Gregorian leap year.
bool IsLeapYear(int year);

// Returns the number of days of `month` (1..12) in `year`; 0 for any other month.
int DaysInMonth(int year, int month);

// Returns true when year 1..9999, month 1..12 and day 1..DaysInMonth form a date.
bool IsValidDate(int year, int month, int day);

// Returns true when hour 0..23, minute 0..59, second 0..59 and millisecond 0..999.
bool IsValidTimeOfDay(int hour, int minute, int second, int millisecond);

// Returns 0 (Sunday) .. 6 (Saturday). REQUIRES: IsValidDate(year, month, day).
int DayOfWeek(int year, int month, int day);

// Days since 0001-01-01 (day 0) and back. REQUIRES: a valid date / a day in range.
std::int64_t DaysFromCivil(int year, int month, int day);
void CivilFromDays(std::int64_t days, int& year, int& month, int& day);

// Returns `date` moved by `days` whole days (time of day kept, day_of_week
// recomputed). REQUIRES: IsValidDate of the input date.
DateTime AddDays(const DateTime& date, int days);

}  // namespace orvik::core

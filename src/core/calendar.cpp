#include "core/calendar.h"

namespace orvik::core {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  if (month == 2 && IsLeapYear(year)) return 29;
  return kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
  return year >= 1 && year <= 9999 && day >= 1 && day <= DaysInMonth(year, month);
}

bool IsValidTimeOfDay(int hour, int minute, int second, int millisecond) {
  return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59 &&
         millisecond >= 0 && millisecond <= 999;
}

// Day counting after the well-known era-based civil-from-days method, shifted
// so that 0001-01-01 is day 0.
namespace {
constexpr std::int64_t kDaysFrom0000_03_01To0001_01_01 = 306;
}

std::int64_t DaysFromCivil(int year, int month, int day) {
  const std::int64_t y = year - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t mp = (month + 9) % 12;
  const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - kDaysFrom0000_03_01To0001_01_01;
}

void CivilFromDays(std::int64_t days, int& year, int& month, int& day) {
  const std::int64_t z = days + kDaysFrom0000_03_01To0001_01_01;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

int DayOfWeek(int year, int month, int day) {
  // 0001-01-01 was a Monday in the proleptic Gregorian calendar.
  const std::int64_t days = DaysFromCivil(year, month, day);
  return static_cast<int>(((days + 1) % 7 + 7) % 7);
}

DateTime AddDays(const DateTime& date, int days) {
  int year = 0;
  int month = 0;
  int day = 0;
  CivilFromDays(DaysFromCivil(date.year, date.month, date.day) + days, year, month, day);
  DateTime moved = date;
  moved.year = static_cast<std::uint16_t>(year);
  moved.month = static_cast<std::uint16_t>(month);
  moved.day = static_cast<std::uint16_t>(day);
  moved.day_of_week = static_cast<std::uint16_t>(DayOfWeek(year, month, day));
  return moved;
}

}  // namespace orvik::core

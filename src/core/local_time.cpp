#include "core/local_time.h"

#include "core/calendar.h"

namespace orvik::core {
namespace {

constexpr std::int64_t kMillisecondsPerDay = 24LL * 60 * 60 * 1000;

// Floor division: the day of a negative offset is the one before.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

DateTime AddMilliseconds(const DateTime& time, std::int64_t milliseconds) {
  const std::int64_t of_day =
      ((static_cast<std::int64_t>(time.hour) * 60 + time.minute) * 60 + time.second) * 1000 +
      time.millisecond + milliseconds;
  const std::int64_t day_shift = FloorDiv(of_day, kMillisecondsPerDay);
  std::int64_t rest = of_day - day_shift * kMillisecondsPerDay;  // 0 .. one day - 1

  int year = 0;
  int month = 0;
  int day = 0;
  CivilFromDays(DaysFromCivil(time.year, time.month, time.day) + day_shift, year, month, day);

  DateTime moved;
  moved.year = static_cast<std::uint16_t>(year);
  moved.month = static_cast<std::uint16_t>(month);
  moved.day = static_cast<std::uint16_t>(day);
  moved.day_of_week = static_cast<std::uint16_t>(DayOfWeek(year, month, day));
  moved.millisecond = static_cast<std::uint16_t>(rest % 1000);
  rest /= 1000;
  moved.second = static_cast<std::uint16_t>(rest % 60);
  rest /= 60;
  moved.minute = static_cast<std::uint16_t>(rest % 60);
  moved.hour = static_cast<std::uint16_t>(rest / 60);
  return moved;
}

DateTime AddMinutes(const DateTime& time, std::int64_t minutes) {
  return AddMilliseconds(time, minutes * 60 * 1000);
}

}  // namespace orvik::core

#include "gpstime_sim/sim_time.h"

#include <time.h>

#include "core/calendar.h"

namespace orvik::tools {
namespace {

constexpr std::int64_t kMillisPerDay = 86'400'000;

std::int64_t UnixEpochDays() { return core::DaysFromCivil(1970, 1, 1); }

// Returns the value of `count` decimal digits at `text[at]`, or -1.
int Digits(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

core::DateTime DateTimeFromUnixMillis(UnixMillis millis) {
  std::int64_t days = millis / kMillisPerDay;
  std::int64_t in_day = millis % kMillisPerDay;
  if (in_day < 0) {
    in_day += kMillisPerDay;
    --days;
  }
  int year = 0;
  int month = 0;
  int day = 0;
  core::CivilFromDays(days + UnixEpochDays(), year, month, day);
  core::DateTime result;
  result.year = static_cast<std::uint16_t>(year);
  result.month = static_cast<std::uint16_t>(month);
  result.day = static_cast<std::uint16_t>(day);
  result.day_of_week = static_cast<std::uint16_t>(core::DayOfWeek(year, month, day));
  result.hour = static_cast<std::uint16_t>(in_day / 3'600'000);
  result.minute = static_cast<std::uint16_t>(in_day / 60'000 % 60);
  result.second = static_cast<std::uint16_t>(in_day / 1000 % 60);
  result.millisecond = static_cast<std::uint16_t>(in_day % 1000);
  return result;
}

UnixMillis UnixMillisFromDateTime(const core::DateTime& date_time) {
  const std::int64_t days =
      core::DaysFromCivil(date_time.year, date_time.month, date_time.day) - UnixEpochDays();
  return days * kMillisPerDay + date_time.hour * 3'600'000LL + date_time.minute * 60'000LL +
         date_time.second * 1000LL + date_time.millisecond;
}

std::optional<UnixMillis> ParseStartTime(std::string_view text) {
  // YYYY-MM-DD HH:MM:SS
  // 0123456789012345678
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != ' ' || text[13] != ':' ||
      text[16] != ':') {
    return std::nullopt;
  }
  const int year = Digits(text, 0, 4);
  const int month = Digits(text, 5, 2);
  const int day = Digits(text, 8, 2);
  const int hour = Digits(text, 11, 2);
  const int minute = Digits(text, 14, 2);
  const int second = Digits(text, 17, 2);
  if (year < 0 || month < 0 || day < 0 || hour < 0 || minute < 0 || second < 0 ||
      !core::IsValidDate(year, month, day) || !core::IsValidTimeOfDay(hour, minute, second, 0)) {
    return std::nullopt;
  }
  core::DateTime date_time;
  date_time.year = static_cast<std::uint16_t>(year);
  date_time.month = static_cast<std::uint16_t>(month);
  date_time.day = static_cast<std::uint16_t>(day);
  date_time.hour = static_cast<std::uint16_t>(hour);
  date_time.minute = static_cast<std::uint16_t>(minute);
  date_time.second = static_cast<std::uint16_t>(second);
  return UnixMillisFromDateTime(date_time);
}

std::int64_t ReadUtcNowNanos() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

}  // namespace orvik::tools

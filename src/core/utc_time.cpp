#include "core/utc_time.h"

#include <array>
#include <cstring>
#include <limits>

#include "core/calendar.h"

namespace orvik::core {
namespace {

constexpr std::int64_t kNanosPerDay = 86'400 * kNanosPerSecond;
// Days from 0001-01-01 to 1970-01-01.
const std::int64_t kEpochDay = DaysFromCivil(1970, 1, 1);

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

bool IsRealDateTime(const DateTime& t) {
  return IsValidDate(t.year, t.month, t.day) &&
         IsValidTimeOfDay(t.hour, t.minute, t.second, t.millisecond);
}

// The date-time `ms_of_day` milliseconds (0 .. one day) into day `day`
// (counted from the epoch), or nullopt outside the years 1..9999.
std::optional<DateTime> FromDayAndMillis(std::int64_t day, std::int64_t ms_of_day) {
  static const std::int64_t kFirstDay = DaysFromCivil(1, 1, 1) - kEpochDay;
  static const std::int64_t kLastDay = DaysFromCivil(9999, 12, 31) - kEpochDay;
  if (day < kFirstDay || day > kLastDay) return std::nullopt;
  int year = 0;
  int month = 0;
  int mday = 0;
  CivilFromDays(day + kEpochDay, year, month, mday);
  DateTime result;
  result.year = static_cast<std::uint16_t>(year);
  result.month = static_cast<std::uint16_t>(month);
  result.day = static_cast<std::uint16_t>(mday);
  result.day_of_week = static_cast<std::uint16_t>(DayOfWeek(year, month, mday));
  result.millisecond = static_cast<std::uint16_t>(ms_of_day % 1000);
  ms_of_day /= 1000;
  result.second = static_cast<std::uint16_t>(ms_of_day % 60);
  ms_of_day /= 60;
  result.minute = static_cast<std::uint16_t>(ms_of_day % 60);
  result.hour = static_cast<std::uint16_t>(ms_of_day / 60);
  return result;
}

// Offsets beyond this many minutes (about 1.9 million years) lead outside
// the years 1..9999 whatever the start; refusing them keeps the sums below
// far from the 64-bit limit.
constexpr std::int64_t kMaxShiftMinutes = 1'000'000'000'000;

}  // namespace

std::optional<UtcNanos> UtcNanosOf(const DateTime& utc) {
  if (!IsRealDateTime(utc)) return std::nullopt;
  const std::int64_t days = DaysFromCivil(utc.year, utc.month, utc.day) - kEpochDay;
  const std::int64_t of_day =
      ((static_cast<std::int64_t>(utc.hour) * 60 + utc.minute) * 60 + utc.second) *
          kNanosPerSecond +
      static_cast<std::int64_t>(utc.millisecond) * kNanosPerMilli;
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  // days * kNanosPerDay + of_day must stay within 64 bits.
  if (days > (kMax - of_day) / kNanosPerDay || days < -(kMax / kNanosPerDay)) return std::nullopt;
  return days * kNanosPerDay + of_day;
}

std::optional<DateTime> DateTimeAt(UtcNanos instant, std::int64_t offset_minutes) {
  if (offset_minutes > kMaxShiftMinutes || offset_minutes < -kMaxShiftMinutes) return std::nullopt;
  const std::int64_t day = FloorDiv(instant, kNanosPerDay);
  // Minutes since the start of `day`, then the offset, in whole minutes.
  const std::int64_t of_day_ns = instant - day * kNanosPerDay;
  const std::int64_t minutes = of_day_ns / kNanosPerMinute + offset_minutes;
  const std::int64_t day_shift = FloorDiv(minutes, 1440);
  const std::int64_t ms_of_day =
      (minutes - day_shift * 1440) * 60'000 + (of_day_ns % kNanosPerMinute) / kNanosPerMilli;
  return FromDayAndMillis(day + day_shift, ms_of_day);
}

std::optional<DateTime> ShiftedByMinutes(const DateTime& time, std::int64_t minutes) {
  if (!IsRealDateTime(time)) return std::nullopt;
  if (minutes > kMaxShiftMinutes || minutes < -kMaxShiftMinutes) return std::nullopt;
  const std::int64_t day = DaysFromCivil(time.year, time.month, time.day) - kEpochDay;
  const std::int64_t total = static_cast<std::int64_t>(time.hour) * 60 + time.minute + minutes;
  const std::int64_t day_shift = FloorDiv(total, 1440);
  const std::int64_t ms_of_day = (total - day_shift * 1440) * 60'000 +
                                 static_cast<std::int64_t>(time.second) * 1000 + time.millisecond;
  return FromDayAndMillis(day + day_shift, ms_of_day);
}

std::int64_t LocalOffsetMinutes(const Settings& settings, bool summer_in_effect) {
  return (static_cast<std::int64_t>(settings.GmtHours) + (summer_in_effect ? 1 : 0)) * 60 +
         static_cast<std::int64_t>(settings.GmtMinutes);
}

std::string FormatUtcOffset(std::int64_t minutes) {
  const std::int64_t magnitude = minutes < 0 ? -minutes : minutes;
  const std::int64_t hours = magnitude / 60;
  const std::int64_t rest = magnitude % 60;
  return std::string("UTC") + (minutes < 0 ? "-" : "+") + (hours < 10 ? "0" : "") +
         std::to_string(hours) + (rest < 10 ? ":0" : ":") + std::to_string(rest);
}

SettableSpan SettableSpanFrom(const DateTime& build_date) {
  DateTime first = build_date;
  first.hour = first.minute = first.second = first.millisecond = 0;
  DateTime last = first;
  last.year = static_cast<std::uint16_t>(last.year + 20);
  if (last.month == 2 && last.day == 29 && !IsLeapYear(last.year)) last.day = 28;
  SettableSpan span;
  span.earliest = UtcNanosOf(first).value_or(0);
  span.latest = UtcNanosOf(last).value_or(0);
  return span;
}

SettableSpan SettableSpanOfThisBuild() {
  // __DATE__ is "Mmm dd yyyy", the day padded with a space.
  static constexpr std::array<const char*, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const char* const date = __DATE__;
  DateTime build;
  for (std::size_t i = 0; i < kMonths.size(); ++i) {
    if (std::strncmp(date, kMonths[i], 3) == 0) build.month = static_cast<std::uint16_t>(i + 1);
  }
  build.day =
      static_cast<std::uint16_t>((date[4] == ' ' ? 0 : date[4] - '0') * 10 + (date[5] - '0'));
  build.year = static_cast<std::uint16_t>((date[7] - '0') * 1000 + (date[8] - '0') * 100 +
                                          (date[9] - '0') * 10 + (date[10] - '0'));
  return SettableSpanFrom(build);
}

}  // namespace orvik::core

#include "support/dates.h"

#include <time.h>

#include "core/calendar.h"

namespace orvik::testing {

core::DateTime At(int y, int mo, int d, int h, int mi, int s, int ms) {
  const auto field = [](int value) { return static_cast<std::uint16_t>(value); };
  const int day_of_week = core::IsValidDate(y, mo, d) ? core::DayOfWeek(y, mo, d) : 0;
  return {field(y), field(mo), field(day_of_week), field(d),
          field(h), field(mi), field(s),           field(ms)};
}

std::int64_t UtcSeconds(int year, int month, int day, int hour, int minute, int second) {
  tm fields{};
  fields.tm_year = year - 1900;
  fields.tm_mon = month - 1;
  fields.tm_mday = day;
  fields.tm_hour = hour;
  fields.tm_min = minute;
  fields.tm_sec = second;
  return ::timegm(&fields);
}

std::string UtcText(std::int64_t seconds) {
  const time_t instant = static_cast<time_t>(seconds);
  tm fields{};
  ::gmtime_r(&instant, &fields);
  char text[32];
  ::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &fields);
  return text;
}

}  // namespace orvik::testing

#include "support/dates.h"

#include <cstdio>

#include "core/calendar.h"
#include "core/utc_time.h"

namespace orvik::testing {

core::DateTime At(int y, int mo, int d, int h, int mi, int s, int ms) {
  const auto field = [](int value) { return static_cast<std::uint16_t>(value); };
  const int day_of_week = core::IsValidDate(y, mo, d) ? core::DayOfWeek(y, mo, d) : 0;
  return {field(y), field(mo), field(day_of_week), field(d),
          field(h), field(mi), field(s),           field(ms)};
}

std::int64_t UtcSeconds(int year, int month, int day, int hour, int minute, int second) {
  return core::UtcNanosOf(At(year, month, day, hour, minute, second)).value_or(0) /
         core::kNanosPerSecond;
}

std::string UtcText(std::int64_t seconds) {
  const core::DateTime t =
      core::DateTimeAt(seconds * core::kNanosPerSecond).value_or(core::DateTime{});
  char text[64];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

}  // namespace orvik::testing

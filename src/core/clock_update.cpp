#include "core/clock_update.h"

#include "core/calendar.h"

namespace orvik::core {
namespace {

bool IsRealDateTime(const DateTime& t) {
  return IsValidDate(t.year, t.month, t.day) &&
         IsValidTimeOfDay(t.hour, t.minute, t.second, t.millisecond);
}

}  // namespace

DateTime ClockCandidate::Local() const {
  DateTime local = DateTimeAt(message_utc, local_offset_minutes).value_or(DateTime{});
  local.millisecond = 0;
  return local;
}

ClockDecision UpdatePcClock(std::uint32_t& MessageCounter, const Settings& settings,
                            const DateTime& message_local, const DateTime& pc_now) {
  ClockDecision decision;
  // A garbled time must neither set the clock nor use up the interval.
  if (!IsRealDateTime(message_local)) return decision;

  // Both operands unsigned: the counter's start value passes any interval.
  if (static_cast<std::uint32_t>(settings.ClockUpdateInterval) < MessageCounter) {
    decision.set_clock = true;
    // Near the top of the hour the PC's hour may already differ from the
    // receiver's; such an attempt is dropped but still restarts the count.
    if (settings.OnlyMinSec && (pc_now.minute < 2 || pc_now.minute > 58)) {
      decision.set_clock = false;
    }
    MessageCounter = 0;
  }

  DateTime& set = decision.SetTime;
  if (settings.OnlyMinSec) {
    set = pc_now;
  } else {
    set = message_local;
    set.day_of_week = static_cast<std::uint16_t>(
        DayOfWeek(message_local.year, message_local.month, message_local.day));
  }
  set.millisecond = 0;
  set.minute = message_local.minute;
  set.second = message_local.second;
  return decision;
}

}  // namespace orvik::core

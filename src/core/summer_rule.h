// Summer time: the rule that says whether it is in effect on a local date and
// hour, the once-a-minute check for the two transition hours, and the hour
// the NMEA conversion adds. Pure; called by the main thread with its own
// reading of the PC clock.
//
// Summer time runs from SummerHour:00 on SummerDay of SummerMonth until
// ZoneHour:00 on ZoneDay of ZoneMonth (SummerDay and ZoneDay are the last
// Sundays of their months). When SummerMonth does not come before ZoneMonth
// it is never in effect.
//
// What the caller does when SummerSwitchDue returns true (the switch):
//   1. wait 1000 ms, keeping the main thread's events flowing;
//   2. evaluate SummerRule, store the result in state.SummerInEffect and
//      SummerHoursFor(...) in the shared SummerHours, and for a Motorola
//      receiver compose the new GMT offset command;
//   3. read the PC clock again and set it to that fresh reading, so the switch
//      never steps the clock back by the second of the wait;
//   4. skip the rest of that timer tick (the display refresh).
// Once SummerInEffect has flipped, the check watches the other transition,
// so it does not fire twice in the same hour.
#pragma once

#include <cstdint>

#include "core/date_time.h"
#include "core/settings.h"

namespace orvik::core {

// Returns true when summer time is in effect at `hour` on `day` of `month`
// (local time) under `settings`; always false while SummerTime is off.
bool SummerRule(const Settings& settings, std::uint16_t month, std::uint16_t day,
                std::uint16_t hour);

// The switch check's memory between timer ticks.
struct SummerSwitchState {
  // Minute of the PC clock at the latest check; the check runs once a minute.
  std::uint16_t LastMinute = 0;
  // The latest result of SummerRule, stored by the caller (see above).
  bool SummerInEffect = false;
  // Year for which settings.SummerDay and ZoneDay were last derived here.
  std::uint16_t days_year = 0;
};

// One step of the switch check on the PC's local time `pc_now`. Returns false
// while SummerTime is off or while pc_now's minute equals LastMinute;
// otherwise stores the minute in LastMinute and returns true exactly when
// pc_now is the transition hour being watched: ZoneHour on ZoneDay of
// ZoneMonth while summer time is in effect, else SummerHour on SummerDay of
// SummerMonth. When pc_now's year differs from state.days_year, first derives
// settings.SummerDay and ZoneDay for that year and records the year (a month
// that gives no date keeps its old day), so the switch follows a New Year
// passed while the program runs.
bool SummerSwitchDue(Settings& settings, SummerSwitchState& state, const DateTime& pc_now);

// Returns the hours the NMEA conversion adds for summer time: 1 for the NMEA
// protocols while summer time is in effect, else 0. Motorola receivers apply
// the summer hour themselves through the GMT offset command.
std::int32_t SummerHoursFor(const Settings& settings, bool summer_in_effect);

}  // namespace orvik::core

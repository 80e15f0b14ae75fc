// Date-time arithmetic with calendar carries: how a receiver's UTC becomes
// local time, and how a clock reading moves on by a span. Pure; any thread.
#pragma once

#include <cstdint>

#include "core/date_time.h"

namespace orvik::core {

// Returns `time` moved by `milliseconds` (negative moves back), carrying into
// second, minute, hour, day, month and year; day_of_week is recomputed.
// REQUIRES: `time` is a valid date and time of day, and the result falls in
// the years 1..9999.
DateTime AddMilliseconds(const DateTime& time, std::int64_t milliseconds);

// Returns `time` moved by `minutes` (negative moves back), with the same
// carries; second and millisecond are kept. The NMEA path uses it with
// ((GmtHours + SummerHours) * 60 + GmtMinutes) to turn UTC into local time.
// REQUIRES: as for AddMilliseconds.
DateTime AddMinutes(const DateTime& time, std::int64_t minutes);

}  // namespace orvik::core

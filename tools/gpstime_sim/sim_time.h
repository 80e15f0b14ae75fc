// Time values of the receiver simulator: UTC as milliseconds since
// 1970-01-01 00:00:00 (no leap seconds), converted to and from the civil
// date-time record. Only ReadUtcNowNanos() reads a clock; the simulator never sets one.
// Any thread may call these functions.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "core/date_time.h"

namespace orvik::tools {

using UnixMillis = std::int64_t;

// Returns the civil UTC date and time of `millis` (day_of_week filled in).
// REQUIRES: a time between the years 1 and 9999.
core::DateTime DateTimeFromUnixMillis(UnixMillis millis);

// Returns the milliseconds of the date and time in `date_time` (day_of_week ignored).
UnixMillis UnixMillisFromDateTime(const core::DateTime& date_time);

// Parses "YYYY-MM-DD HH:MM:SS" exactly (one blank, all digits given); nullopt
// when the text has another shape or is no real date and time.
std::optional<UnixMillis> ParseStartTime(std::string_view text);

// Returns the current UTC time in nanoseconds since 1970, read with
// clock_gettime(CLOCK_REALTIME).
std::int64_t ReadUtcNowNanos();

}  // namespace orvik::tools

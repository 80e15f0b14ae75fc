// Instants on the two clocks the program uses, and the program's own local
// time. Pure; any thread.
//
//   * UtcNanos: nanoseconds since 1970-01-01 00:00:00 UTC (the real-time
//     clock). The PC clock is read and set in UTC only, so the machine's
//     time zone can never shift what the program sets.
//   * MonotonicNanos: nanoseconds on the monotonic clock (arbitrary origin);
//     serial arrival stamps and elapsed times are taken on it.
//   * The program's local time is UTC plus the configured offset
//     ((GmtHours + the summer hour) * 60 + GmtMinutes minutes), whatever the
//     machine's zone: the texts, the LAN records, the log and the summer rule
//     all use it, so everything the program shows agrees with what it sends.
//
// Every conversion is checked: offsets are 64-bit, and a date outside the
// years 1..9999 (or an instant a 64-bit nanosecond count cannot hold, about
// 1678..2261) gives no result instead of a wrapped value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/date_time.h"
#include "core/settings.h"

namespace orvik::core {

using UtcNanos = std::int64_t;
using MonotonicNanos = std::int64_t;

inline constexpr std::int64_t kNanosPerMilli = 1'000'000;
inline constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
inline constexpr std::int64_t kNanosPerMinute = 60 * kNanosPerSecond;

// The instant of `utc` (a date-time read as UTC, milliseconds included), or
// nullopt when it is no real date and time or out of the nanosecond range.
std::optional<UtcNanos> UtcNanosOf(const DateTime& utc);

// The date-time of `instant` with `offset_minutes` added (0: UTC), to the
// millisecond (rounded down), or nullopt outside the years 1..9999.
std::optional<DateTime> DateTimeAt(UtcNanos instant, std::int64_t offset_minutes = 0);

// `time` moved by `minutes`, or nullopt when `time` is no real date and time
// or the result falls outside the years 1..9999. Never overflows.
std::optional<DateTime> ShiftedByMinutes(const DateTime& time, std::int64_t minutes);

// Minutes the program's local time is ahead of UTC:
// (GmtHours + (summer_in_effect ? 1 : 0)) * 60 + GmtMinutes, in 64 bits.
std::int64_t LocalOffsetMinutes(const Settings& settings, bool summer_in_effect);

// "UTC+02:00", "UTC-03:30", "UTC+00:00": an offset of `minutes` from UTC.
std::string FormatUtcOffset(std::int64_t minutes);

// The span of instants the clock may ever be set to: from the day the
// program was built until twenty years later. A receiver whose week counter
// rolled over, or a damaged message that still passed its checks, names a
// date outside it.
struct SettableSpan {
  UtcNanos earliest = 0;
  UtcNanos latest = 0;
  bool Contains(UtcNanos instant) const { return instant >= earliest && instant <= latest; }
};

// The span for a program built on `build_date` (year, month, day).
SettableSpan SettableSpanFrom(const DateTime& build_date);

// The span for this build (from the compiler's __DATE__).
SettableSpan SettableSpanOfThisBuild();

}  // namespace orvik::core

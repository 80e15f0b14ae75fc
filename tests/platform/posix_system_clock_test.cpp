// PosixSystemClock reads UTC and the monotonic clock; the machine's zone is
// only reported. The clock is never set here. Zones are chosen with POSIX TZ
// strings, which need no zone database.
#include "platform/posix/posix_system_clock.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <string>

#include "platform/monotonic_clock.h"

namespace orvik::platform {
namespace {

TEST(PosixSystemClockTest, ReadsUtcAndAMonotonicClockThatNeverGoesBack) {
  const PosixSystemClock clock;
  const std::int64_t before = static_cast<std::int64_t>(std::time(nullptr));
  const core::UtcNanos now = clock.NowUtc();
  const std::int64_t after = static_cast<std::int64_t>(std::time(nullptr));
  EXPECT_GE(now / core::kNanosPerSecond, before);
  EXPECT_LE(now / core::kNanosPerSecond, after);
  const MonotonicClock& monotonic = MachineMonotonicClock();
  const core::MonotonicNanos first = monotonic.NowMonotonic();
  EXPECT_LE(first, monotonic.NowMonotonic());
}

TEST(PosixSystemClockTest, MachineZoneOffsetFollowsTheZoneAndItsSummerTime) {
  struct Case {
    const char* tz;
    core::DateTime utc;
    std::int64_t minutes;
  };
  const core::DateTime january{.year = 2026, .month = 1, .day = 15, .hour = 12};
  const core::DateTime july{.year = 2026, .month = 7, .day = 15, .hour = 12};
  const Case cases[] = {
      {"UTC0", january, 0},
      {"CET-1CEST,M3.5.0,M10.5.0/3", january, 60},  // Europe/Berlin
      {"CET-1CEST,M3.5.0,M10.5.0/3", july, 120},
      {"EST5EDT,M3.2.0,M11.1.0", january, -300},  // America/New_York
      {"EST5EDT,M3.2.0,M11.1.0", july, -240},
      {"IST-5:30", july, 330},  // Asia/Kolkata
  };
  const char* saved = std::getenv("TZ");
  const std::string saved_tz = saved ? saved : "";
  const PosixSystemClock clock;
  for (const Case& c : cases) {
    ::setenv("TZ", c.tz, 1);
    ::tzset();
    EXPECT_EQ(clock.MachineZoneOffsetMinutes(core::UtcNanosOf(c.utc).value()), c.minutes) << c.tz;
  }
  if (saved) {
    ::setenv("TZ", saved_tz.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
}

}  // namespace
}  // namespace orvik::platform

#include "platform/posix_system_clock.h"

#include <gtest/gtest.h>
#include <time.h>

#include "core/calendar.h"

namespace orvik::platform {
namespace {

// Seconds since the epoch of a local date-time, by the C library's rules.
std::time_t ToEpoch(const core::DateTime& t) {
  tm local{};
  local.tm_year = t.year - 1900;
  local.tm_mon = t.month - 1;
  local.tm_mday = t.day;
  local.tm_hour = t.hour;
  local.tm_min = t.minute;
  local.tm_sec = t.second;
  local.tm_isdst = -1;
  return ::mktime(&local);
}

TEST(PosixSystemClockTest, NowIsTheCurrentLocalTimeInRange) {
  const PosixSystemClock clock;
  const std::time_t before = std::time(nullptr);
  const core::DateTime now = clock.Now();
  const std::time_t after = std::time(nullptr);

  ASSERT_TRUE(core::IsValidDate(now.year, now.month, now.day));
  ASSERT_TRUE(core::IsValidTimeOfDay(now.hour, now.minute, now.second, now.millisecond));
  EXPECT_EQ(now.day_of_week, core::DayOfWeek(now.year, now.month, now.day));
  // The hour repeated at the end of summer time may map back an hour off.
  const long long diff = static_cast<long long>(ToEpoch(now) - before);
  const long long span = static_cast<long long>(after - before) + 1;
  auto near = [span](long long d) { return d >= 0 && d <= span; };
  EXPECT_TRUE(near(diff) || near(diff + 3600) || near(diff - 3600)) << diff;
}

}  // namespace
}  // namespace orvik::platform

#include "gpstime_sim/sim_time.h"

#include <gtest/gtest.h>

namespace orvik::tools {
namespace {

TEST(SimTime, ConvertsMillisecondsToCivilUtc) {
  const struct {
    UnixMillis millis;
    core::DateTime expected;
  } cases[] = {
      {0, {1970, 1, 4, 1, 0, 0, 0, 0}},  // a Thursday
      {1'700'000'000'123, {2023, 11, 2, 14, 22, 13, 20, 123}},
      {951'782'400'000, {2000, 2, 2, 29, 0, 0, 0, 0}},  // leap day of a century year
      {1'798'761'599'999, {2026, 12, 4, 31, 23, 59, 59, 999}},
      {1'798'761'600'000, {2027, 1, 5, 1, 0, 0, 0, 0}},
      {-1, {1969, 12, 3, 31, 23, 59, 59, 999}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DateTimeFromUnixMillis(c.millis), c.expected) << c.millis;
    EXPECT_EQ(UnixMillisFromDateTime(c.expected), c.millis) << c.millis;
  }
}

TEST(SimTime, ParsesStartTimeStrictly) {
  EXPECT_EQ(ParseStartTime("2026-12-31 23:59:59"), 1'798'761'599'000);
  EXPECT_EQ(ParseStartTime("1970-01-01 00:00:00"), 0);
  for (const char* bad : {"2026-12-31 23:59", "2026-12-31  23:59:59", "2026-13-01 00:00:00",
                          "2025-02-29 00:00:00", "2026-12-31 23:60:00", "2026-12-31 23:59:60",
                          "2026-1a-01 00:00:00", "2026/12/31 23:59:59", ""}) {
    EXPECT_FALSE(ParseStartTime(bad).has_value()) << bad;
  }
}

}  // namespace
}  // namespace orvik::tools

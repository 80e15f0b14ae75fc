// The program's time arithmetic: UTC to local time with calendar carries,
// instants and back, and the bounds no offset or date may cross.
#include "core/utc_time.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "core/calendar.h"
#include "support/dates.h"

namespace orvik::core {
namespace {

using testing::At;

// The offset the NMEA conversion adds, in minutes.
std::int64_t Offset(int gmt_hours, int summer_hours, int gmt_minutes) {
  return (gmt_hours + summer_hours) * 60 + gmt_minutes;
}

TEST(ShiftedByMinutes, CarriesAcrossDaysMonthsYearsAndLeapDays) {
  struct Case {
    const char* what;
    DateTime utc;
    std::int64_t minutes;
    DateTime local;
  };
  const Case cases[] = {
      {"half-hour zone east", At(2026, 6, 15, 10, 45, 0), Offset(5, 0, 30),
       At(2026, 6, 15, 16, 15, 0)},
      {"into the new year", At(2026, 12, 31, 23, 59, 59), Offset(2, 0, 0),
       At(2027, 1, 1, 1, 59, 59)},
      {"summer hour added", At(2026, 3, 29, 1, 0, 0), Offset(2, 1, 0), At(2026, 3, 29, 4, 0, 0)},
      {"west, back into a leap day", At(2024, 3, 1, 2, 0, 0), Offset(-5, 0, 0),
       At(2024, 2, 29, 21, 0, 0)},
      {"west half hour, common year", At(2023, 3, 1, 1, 15, 0), Offset(-3, 0, -30),
       At(2023, 2, 28, 21, 45, 0)},
      {"west half hour with summer hour", At(2023, 7, 1, 1, 15, 0), Offset(-3, 1, -30),
       At(2023, 6, 30, 22, 45, 0)},
      {"east onto a leap day", At(2024, 2, 28, 20, 0, 0), Offset(5, 0, 30),
       At(2024, 2, 29, 1, 30, 0)},
      {"east off a leap day", At(2024, 2, 29, 18, 0, 0), Offset(9, 0, 30),
       At(2024, 3, 1, 3, 30, 0)},
      {"west back into the old year", At(2027, 1, 1, 5, 0, 0), Offset(-12, 0, 0),
       At(2026, 12, 31, 17, 0, 0)},
      {"east over a 30-day month end", At(2026, 4, 30, 22, 30, 0), Offset(3, 0, 0),
       At(2026, 5, 1, 1, 30, 0)},
      {"2100 is no leap year", At(2100, 2, 28, 23, 0, 0), 60, At(2100, 3, 1, 0, 0, 0)},
      {"2000 is a leap year", At(2000, 2, 28, 23, 0, 0), 60, At(2000, 2, 29, 0, 0, 0)},
      {"a whole leap year", At(2024, 1, 1, 0, 0, 0), 366 * 1440, At(2025, 1, 1, 0, 0, 0)},
      {"seconds and milliseconds kept", At(2026, 12, 7, 12, 0, 37, 450), -1,
       At(2026, 12, 7, 11, 59, 37, 450)},
      {"no offset", At(2026, 12, 7, 12, 0, 0), 0, At(2026, 12, 7, 12, 0, 0)},
  };
  for (const Case& c : cases) {
    DateTime input = c.utc;
    input.day_of_week = 0;  // ignored on input, recomputed on output
    EXPECT_EQ(ShiftedByMinutes(input, c.minutes), c.local) << c.what;
  }
}

TEST(ShiftedByMinutes, NeverWrapsOutsideTheYearsOneToNineThousand) {
  struct Case {
    DateTime time;
    std::int64_t minutes;
    bool result;
  };
  constexpr std::int64_t kInt32Max = 2147483647;
  const Case cases[] = {
      {At(2026, 6, 1, 12, 0), kInt32Max, true},              // 4083 years on: still a date
      {At(2026, 6, 1, 12, 0), -kInt32Max - 1, false},        // before the year 1
      {At(2026, 6, 1, 12, 0), (kInt32Max + 1) * 60, false},  // GMT hours of 2^31
      {At(9999, 12, 31, 23, 59), 1, false},
      {At(1, 1, 1, 0, 0), -1, false},
      {At(1, 1, 1, 0, 0), 0, true},
      {At(2026, 6, 1, 12, 0), INT64_MAX, false},
      {At(2026, 6, 1, 12, 0), INT64_MIN, false},
      {At(2026, 4, 31, 12, 0), 0, false},  // no real date to start from
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShiftedByMinutes(c.time, c.minutes).has_value(), c.result) << c.minutes;
  }
}

TEST(UtcNanos, InstantsAndDateTimesConvertBothWaysWithEveryCarry) {
  const DateTime epoch = At(1970, 1, 1, 0, 0);
  EXPECT_EQ(UtcNanosOf(epoch), 0);
  EXPECT_EQ(UtcNanosOf(At(2026, 12, 7, 12, 0, 1, 250)), 1'796'644'801'250'000'000);
  EXPECT_EQ(DateTimeAt(-1), At(1969, 12, 31, 23, 59, 59, 999));  // rounded down
  EXPECT_EQ(DateTimeAt(UtcNanosOf(At(2026, 12, 31, 23, 59, 59, 999)).value() + kNanosPerMilli),
            At(2027, 1, 1, 0, 0, 0, 0));
  EXPECT_EQ(DateTimeAt(UtcNanosOf(At(2024, 2, 29, 12, 0)).value(), 2 * 1440),
            At(2024, 3, 2, 12, 0));
  EXPECT_EQ(DateTimeAt(0, -330), At(1969, 12, 31, 18, 30));  // an offset west of UTC
  // Dates a 64-bit nanosecond count cannot hold have no instant.
  EXPECT_FALSE(UtcNanosOf(At(2262, 6, 1, 0, 0)).has_value());
  EXPECT_FALSE(UtcNanosOf(At(1677, 6, 1, 0, 0)).has_value());
  EXPECT_FALSE(DateTimeAt(0, INT64_MAX).has_value());
}

TEST(UtcTime, OffsetsAreWrittenAndTheSettableYearsFollowTheBuild) {
  EXPECT_EQ(FormatUtcOffset(120), "UTC+02:00");
  EXPECT_EQ(FormatUtcOffset(-210), "UTC-03:30");
  EXPECT_EQ(FormatUtcOffset(0), "UTC+00:00");
  EXPECT_EQ(FormatUtcOffset(330 + 600), "UTC+15:30");

  const SettableSpan span = SettableSpanFrom(At(2024, 2, 29, 0, 0));
  EXPECT_FALSE(span.Contains(UtcNanosOf(At(2024, 2, 28, 23, 59, 59, 999)).value()));
  EXPECT_TRUE(span.Contains(UtcNanosOf(At(2024, 2, 29, 0, 0)).value()));
  EXPECT_TRUE(span.Contains(UtcNanosOf(At(2044, 2, 29, 0, 0)).value()));
  EXPECT_FALSE(span.Contains(UtcNanosOf(At(2044, 2, 29, 0, 0, 0, 1)).value()));
  // This build: from its own date on, so never a date in the past.
  EXPECT_FALSE(SettableSpanOfThisBuild().Contains(UtcNanosOf(At(2020, 1, 1, 0, 0)).value()));
}

}  // namespace
}  // namespace orvik::core

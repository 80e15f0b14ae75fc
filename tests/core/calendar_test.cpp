#include "core/calendar.h"

#include <gtest/gtest.h>

namespace orvik::core {
namespace {

TEST(Calendar, LeapYearsFollowTheGregorianRule) {
  struct Case {
    int year;
    bool leap;
  };
  for (const Case& c : {Case{1900, false}, Case{2000, true}, Case{2023, false}, Case{2024, true},
                        Case{2100, false}, Case{2400, true}}) {
    EXPECT_EQ(IsLeapYear(c.year), c.leap) << c.year;
  }
}

TEST(Calendar, DaysInMonthKnowsFebruaryAndRejectsOtherMonths) {
  EXPECT_EQ(DaysInMonth(2024, 2), 29);
  EXPECT_EQ(DaysInMonth(2026, 2), 28);
  EXPECT_EQ(DaysInMonth(2026, 4), 30);
  EXPECT_EQ(DaysInMonth(2026, 12), 31);
  EXPECT_EQ(DaysInMonth(2026, 0), 0);
  EXPECT_EQ(DaysInMonth(2026, 13), 0);
}

TEST(Calendar, DayOfWeekMatchesKnownDates) {
  struct Case {
    int y, m, d, dow;
  };
  for (const Case& c : {Case{2026, 12, 8, 2}, Case{2000, 1, 1, 6}, Case{2024, 2, 29, 4},
                        Case{1970, 1, 1, 4}, Case{2026, 3, 29, 0}, Case{1, 1, 1, 1}}) {
    EXPECT_EQ(DayOfWeek(c.y, c.m, c.d), c.dow) << c.y << "-" << c.m << "-" << c.d;
  }
}

TEST(Calendar, DayCountRoundTripsOverFourCenturies) {
  std::int64_t expected = DaysFromCivil(1999, 12, 31);
  for (int year = 2000; year < 2401; ++year) {
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; day <= DaysInMonth(year, month); ++day) {
        ++expected;
        ASSERT_EQ(DaysFromCivil(year, month, day), expected);
        int y = 0, m = 0, d = 0;
        CivilFromDays(expected, y, m, d);
        ASSERT_EQ(y * 10000 + m * 100 + d, year * 10000 + month * 100 + day);
      }
    }
  }
}

TEST(Calendar, AddDaysCarriesAcrossMonthsYearsAndLeapDays) {
  const DateTime new_years_eve{2024, 12, 2, 31, 23, 59, 59, 999};
  const DateTime next = AddDays(new_years_eve, 1);
  EXPECT_EQ(next, (DateTime{2025, 1, 3, 1, 23, 59, 59, 999}));
  const DateTime leap_day = AddDays(DateTime{2024, 3, 5, 1, 0, 0, 0, 0}, -1);
  EXPECT_EQ(leap_day.month, 2);
  EXPECT_EQ(leap_day.day, 29);
  EXPECT_EQ(leap_day.day_of_week, 4);
}

TEST(Calendar, ValidityChecksRejectImpossibleValues) {
  EXPECT_TRUE(IsValidDate(2024, 2, 29));
  EXPECT_FALSE(IsValidDate(2026, 2, 29));
  EXPECT_FALSE(IsValidDate(2026, 4, 31));
  EXPECT_FALSE(IsValidDate(2026, 13, 1));
  EXPECT_FALSE(IsValidDate(2026, 1, 0));
  EXPECT_TRUE(IsValidTimeOfDay(23, 59, 59, 999));
  EXPECT_FALSE(IsValidTimeOfDay(24, 0, 0, 0));
  EXPECT_FALSE(IsValidTimeOfDay(12, 60, 0, 0));
  EXPECT_FALSE(IsValidTimeOfDay(12, 0, 60, 0));
}

}  // namespace
}  // namespace orvik::core

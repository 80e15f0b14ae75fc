// Summer time: the rule, the once-a-minute switch check, and SummerHours.
#include "core/summer_rule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "core/calendar.h"
#include "core/clock_log_line.h"
#include "core/settings.h"
#include "core/utc_time.h"
#include "support/dates.h"

namespace orvik::core {
namespace {

using testing::At;

// Defaults with summer time on; switch days as an independent calendar gives
// them (last Sundays of March and October).
Settings SummerSettings(int summer_day, int zone_day) {
  Settings settings;
  settings.SummerTime = true;
  settings.SummerDay = static_cast<std::uint16_t>(summer_day);
  settings.ZoneDay = static_cast<std::uint16_t>(zone_day);
  return settings;
}

struct YearDays {
  int year;
  int march;    // last Sunday of March
  int october;  // last Sunday of October
};
constexpr YearDays kYears[] = {{2024, 31, 27}, {2025, 30, 26}, {2026, 29, 25},
                               {2027, 28, 31}, {2028, 26, 29}, {2032, 28, 31}};

TEST(SummerRule, DefaultsAroundBothTransitions) {
  for (const YearDays y : kYears) {
    const Settings s = SummerSettings(y.march, y.october);
    struct Case {
      int month, day, hour;
      bool in_effect;
    };
    const Case cases[] = {
        {3, y.march, 2, false},
        {3, y.march, 3, true},
        {3, y.march - 1, 23, false},
        {3, y.march, 23, true},
        {10, y.october, 3, true},
        {10, y.october, 4, false},
        {10, y.october - 1, 23, true},
        {10, y.october, 0, true},
        {7, 15, 12, true},
        {4, 1, 0, true},
        {1, 10, 12, false},
        {2, 29, 12, false},
        {11, 1, 0, false},
        {12, 31, 23, false},
        {3, 1, 12, false},
    };
    for (const Case& c : cases) {
      EXPECT_EQ(SummerRule(s, static_cast<std::uint16_t>(c.month),
                           static_cast<std::uint16_t>(c.day), static_cast<std::uint16_t>(c.hour)),
                c.in_effect)
          << y.year << "-" << c.month << "-" << c.day << " " << c.hour << ":00";
    }
  }
}

TEST(SummerRule, HoldsExactlyBetweenTheTwoSwitchHoursAllYear) {
  for (const YearDays y : kYears) {
    Settings s = SummerSettings(y.march, y.october);
    const auto start = std::make_tuple(3, y.march, 3);
    const auto end = std::make_tuple(10, y.october, 4);
    for (int month = 1; month <= 12; ++month) {
      for (int day = 1; day <= DaysInMonth(y.year, month); ++day) {
        for (int hour = 0; hour < 24; ++hour) {
          const auto now = std::make_tuple(month, day, hour);
          const auto m = static_cast<std::uint16_t>(month);
          const auto d = static_cast<std::uint16_t>(day);
          const auto h = static_cast<std::uint16_t>(hour);
          s.SummerTime = true;
          ASSERT_EQ(SummerRule(s, m, d, h), start <= now && now < end)
              << y.year << "-" << month << "-" << day << " " << hour;
          s.SummerTime = false;
          ASSERT_FALSE(SummerRule(s, m, d, h));
        }
      }
    }
  }
}

TEST(SummerRule, NeverInEffectWhenSummerMonthIsNotBeforeZoneMonth) {
  Settings s = SummerSettings(25, 29);
  s.SummerMonth = 10;
  s.ZoneMonth = 3;
  for (int month = 1; month <= 12; ++month) {
    for (const int hour : {0, 3, 4, 12, 23}) {
      EXPECT_FALSE(
          SummerRule(s, static_cast<std::uint16_t>(month), 25, static_cast<std::uint16_t>(hour)))
          << month;
    }
  }
}

// Walks the PC clock minute by minute from `from` for `minutes`, ticking the
// switch check several times a minute like the 1-second timer, and acts as
// the caller on a switch (re-evaluates the rule). Returns the switch times.
std::vector<std::string> Switches(Settings& settings, SummerSwitchState& state, DateTime from,
                                  int minutes) {
  std::vector<std::string> switches;
  DateTime now = from;
  for (int i = 0; i < minutes; ++i, now = *ShiftedByMinutes(from, i)) {
    for (const std::uint16_t second : {0, 1, 30, 59}) {
      now.second = second;
      if (SummerSwitchDue(settings, state, now)) {
        switches.push_back(FormatShortDate(now) + " " + FormatLongTime(now));
        state.SummerInEffect = SummerRule(settings, now.month, now.day, now.hour);
      }
    }
  }
  return switches;
}

TEST(SummerSwitchDue, FiresOncePerTransitionAndFollowsTheNewYear) {
  // Two whole years, with the switch days of 2026 set at load.
  Settings settings = SummerSettings(29, 25);
  SummerSwitchState state;
  state.days_year = 2026;
  state.LastMinute = 59;
  const int two_years = (365 + 365) * 24 * 60;
  EXPECT_EQ(Switches(settings, state, At(2026, 1, 1, 0, 0), two_years),
            (std::vector<std::string>{"29.03.2026 03:00:00", "25.10.2026 04:00:00",
                                      "28.03.2027 03:00:00", "31.10.2027 04:00:00"}));
  EXPECT_EQ(settings.SummerDay, 28);
  EXPECT_EQ(settings.ZoneDay, 31);
  EXPECT_EQ(state.days_year, 2027);
}

TEST(SummerSwitchDue, WithoutTheCallerFlippingItFiresEveryMinuteOfTheHour) {
  Settings settings = SummerSettings(29, 25);
  SummerSwitchState state{.LastMinute = 59, .SummerInEffect = false, .days_year = 2026};
  int due = 0;
  for (int minute = 0; minute < 60; ++minute) {
    for (const std::uint16_t second : {0, 20, 40}) {
      DateTime now = At(2026, 3, 29, 3, minute, second);
      if (SummerSwitchDue(settings, state, now)) ++due;
      EXPECT_EQ(state.LastMinute, minute);
    }
  }
  EXPECT_EQ(due, 60);
  // Summer time in effect: the March hour is no longer watched.
  state.SummerInEffect = true;
  EXPECT_FALSE(SummerSwitchDue(settings, state, At(2026, 3, 29, 3, 0)));
  EXPECT_TRUE(SummerSwitchDue(settings, state, At(2026, 10, 25, 4, 1)));
}

TEST(SummerSwitchDue, DoesNothingWhileSummerTimeIsOff) {
  Settings settings = SummerSettings(29, 25);
  settings.SummerTime = false;
  SummerSwitchState state{.LastMinute = 7, .SummerInEffect = false, .days_year = 2025};
  EXPECT_FALSE(SummerSwitchDue(settings, state, At(2026, 3, 29, 3, 0)));
  EXPECT_EQ(state.LastMinute, 7);
  EXPECT_EQ(state.days_year, 2025);
  EXPECT_EQ(settings.SummerDay, 29);
}

TEST(SummerSwitchDue, AMonthWithoutALastSundayKeepsItsOldDay) {
  Settings settings = SummerSettings(29, 25);
  settings.SummerMonth = 13;
  SummerSwitchState state{.LastMinute = 59, .SummerInEffect = true, .days_year = 2026};
  EXPECT_FALSE(SummerSwitchDue(settings, state, At(2027, 1, 1, 0, 0)));
  EXPECT_EQ(settings.SummerDay, 29);
  EXPECT_EQ(settings.ZoneDay, 31);
  EXPECT_EQ(state.days_year, 2027);
}

TEST(SummerHoursFor, OneOnlyForNmeaInSummer) {
  struct Case {
    std::int32_t protocol;
    bool in_effect;
    std::int32_t hours;
  };
  for (const Case c : {Case{kProtocolNmea4800, true, 1}, Case{kProtocolNmea9600, true, 1},
                       Case{kProtocolMotorolaM12, true, 0}, Case{kProtocolMotorolaOncore, true, 0},
                       Case{kProtocolNmea4800, false, 0}, Case{kProtocolNmea9600, false, 0},
                       Case{kProtocolMotorolaM12, false, 0}}) {
    Settings settings;
    settings.Protocol = c.protocol;
    EXPECT_EQ(SummerHoursFor(settings, c.in_effect), c.hours) << c.protocol;
  }
}

}  // namespace
}  // namespace orvik::core

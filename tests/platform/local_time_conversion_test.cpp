// LocalTimeToTimespec: the conversion PosixSystemClock::SetLocalTime uses.
// The clock itself is never set here; time zones are chosen per test with
// POSIX TZ strings, which need no zone database.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <time.h>

#include <cstdint>
#include <optional>
#include <string>

#include "core/calendar.h"
#include "platform/posix_system_clock.h"

namespace orvik::platform {
namespace {

core::DateTime At(int y, int mo, int d, int h, int mi, int s = 0, int ms = 0) {
  core::DateTime t;
  t.year = static_cast<std::uint16_t>(y);
  t.month = static_cast<std::uint16_t>(mo);
  t.day = static_cast<std::uint16_t>(d);
  t.hour = static_cast<std::uint16_t>(h);
  t.minute = static_cast<std::uint16_t>(mi);
  t.second = static_cast<std::uint16_t>(s);
  t.millisecond = static_cast<std::uint16_t>(ms);
  return t;
}

// Seconds since 1970-01-01 00:00 UTC of a UTC date-time, by day counting.
std::int64_t EpochSeconds(const core::DateTime& utc) {
  const std::int64_t days =
      core::DaysFromCivil(utc.year, utc.month, utc.day) - core::DaysFromCivil(1970, 1, 1);
  return days * 86400 + (utc.hour * 60 + utc.minute) * 60 + utc.second;
}

// Switches the process's time zone for one test and restores it afterwards.
class LocalTimeToTimespecTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* tz = ::getenv("TZ")) saved_ = tz;
  }
  void TearDown() override {
    if (saved_) {
      ::setenv("TZ", saved_->c_str(), 1);
    } else {
      ::unsetenv("TZ");
    }
    ::tzset();
  }
  static void UseZone(const char* tz) {
    ::setenv("TZ", tz, 1);
    ::tzset();
  }

 private:
  std::optional<std::string> saved_;
};

// Eastern European time: UTC+2, summer time UTC+3 from the last Sunday of
// March 03:00 until the last Sunday of October 04:00.
constexpr const char* kEasternEurope = "EET-2EEST,M3.5.0/3,M10.5.0/4";

TEST_F(LocalTimeToTimespecTest, GivesTheInstantOfTheLocalTime) {
  struct Case {
    const char* tz;
    core::DateTime local;
    std::int64_t offset_hours;  // local minus UTC
  };
  const Case cases[] = {
      {"UTC0", At(2026, 12, 7, 12, 0, 0, 250), 0},
      {kEasternEurope, At(2026, 1, 15, 10, 0), 2},
      {kEasternEurope, At(2026, 7, 15, 10, 0, 0, 999), 3},
      {kEasternEurope, At(2026, 3, 29, 2, 59, 59), 2},  // just before the jump
      {kEasternEurope, At(2026, 3, 29, 4, 0, 0), 3},    // just after it
      {kEasternEurope, At(2026, 10, 25, 4, 0, 0), 2},   // after the repeated hour
      {"UTC0", At(2024, 2, 29, 23, 59, 59, 1), 0},
  };
  for (const Case& c : cases) {
    UseZone(c.tz);
    const std::optional<timespec> instant = LocalTimeToTimespec(c.local);
    ASSERT_TRUE(instant.has_value()) << c.tz;
    EXPECT_EQ(instant->tv_sec, EpochSeconds(c.local) - c.offset_hours * 3600)
        << c.tz << " " << c.local.month << "/" << c.local.day << " " << c.local.hour;
    EXPECT_EQ(instant->tv_nsec, c.local.millisecond * 1'000'000L);
  }
}

TEST_F(LocalTimeToTimespecTest, RoundTripsThroughLocaltime) {
  const core::DateTime samples[] = {At(2026, 12, 31, 23, 59, 59), At(2027, 1, 1, 0, 0, 0),
                                    At(2024, 2, 29, 12, 30, 15),  At(2026, 7, 1, 1, 15, 0),
                                    At(1969, 12, 31, 23, 59, 59), At(1, 1, 1, 12, 0, 0),
                                    At(9999, 12, 31, 23, 59, 59), At(2094, 3, 23, 14, 35, 19)};
  for (const char* tz : {"UTC0", kEasternEurope, "NST3:30NDT,M3.2.0,M11.1.0", "IST-5:30"}) {
    UseZone(tz);
    for (core::DateTime local : samples) {
      local.day_of_week = 6;  // deliberately wrong: it must be ignored
      const std::optional<timespec> instant = LocalTimeToTimespec(local);
      ASSERT_TRUE(instant.has_value()) << tz << " " << local.year;
      tm back{};
      ASSERT_NE(::localtime_r(&instant->tv_sec, &back), nullptr);
      EXPECT_EQ(back.tm_year + 1900, local.year) << tz;
      EXPECT_EQ(back.tm_mon + 1, local.month) << tz << " " << local.year;
      EXPECT_EQ(back.tm_mday, local.day) << tz << " " << local.year;
      EXPECT_EQ(back.tm_hour, local.hour) << tz << " " << local.year;
      EXPECT_EQ(back.tm_min, local.minute) << tz << " " << local.year;
      EXPECT_EQ(back.tm_sec, local.second) << tz << " " << local.year;
    }
  }
}

TEST_F(LocalTimeToTimespecTest, RefusesWhatIsNoDateAndTime) {
  UseZone("UTC0");
  for (const core::DateTime& local :
       {At(2026, 13, 1, 0, 0), At(2026, 0, 1, 0, 0), At(2026, 2, 29, 0, 0), At(2026, 4, 31, 0, 0),
        At(0, 1, 1, 0, 0), At(2026, 1, 1, 24, 0), At(2026, 1, 1, 0, 60), At(2026, 1, 1, 0, 0, 60),
        At(2026, 1, 1, 0, 0, 0, 1000)}) {
    EXPECT_FALSE(LocalTimeToTimespec(local).has_value())
        << local.year << "-" << local.month << "-" << local.day << " " << local.hour << ":"
        << local.minute << ":" << local.second << "." << local.millisecond;
  }
}

}  // namespace
}  // namespace orvik::platform

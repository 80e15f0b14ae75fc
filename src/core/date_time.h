// DateTime: the eight-field date-time record the whole system exchanges.
//
// Time conventions used throughout the program:
//   * A DateTime holds *local* civil time unless a name says UTC (NMEA
//     receivers report UTC; Motorola receivers report the local time they
//     were told to keep).
//   * Fields are unsigned 16-bit, in the order year, month, day of week,
//     day, hour, minute, second, millisecond. day_of_week is 0 for Sunday.
//   * Summer time is applied by the program itself (a whole-hour shift kept
//     in SummerHours), never by the operating system's time zone rules.
//   * core never reads the clock: every "now" arrives as a parameter.
#pragma once

#include <cstdint>

namespace orvik::core {

struct DateTime {
  std::uint16_t year = 0;
  std::uint16_t month = 0;        // 1..12
  std::uint16_t day_of_week = 0;  // 0 = Sunday .. 6 = Saturday
  std::uint16_t day = 0;          // 1..31
  std::uint16_t hour = 0;         // 0..23
  std::uint16_t minute = 0;       // 0..59
  std::uint16_t second = 0;       // 0..59
  std::uint16_t millisecond = 0;  // 0..999

  friend bool operator==(const DateTime&, const DateTime&) = default;
};

}  // namespace orvik::core

// LastSundayOfMonth, the derived switch days of the parameter file.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "core/settings_file.h"
#include "support/dates.h"

namespace orvik::core {
namespace {

TEST(LastSundayOfMonth, FindsTheLastSundayInTheClockYear) {
  struct Case {
    int year;
    std::array<int, 12> days;  // for months 1..12, from an independent calendar
  };
  // February: 2021 and 2100 are common years ending on a Sunday the 28th;
  // 2032 is a leap year whose 29th is a Sunday.
  for (const Case& c : {Case{2021, {31, 28, 28, 25, 30, 27, 25, 29, 26, 31, 28, 26}},
                        Case{2024, {28, 25, 31, 28, 26, 30, 28, 25, 29, 27, 24, 29}},
                        Case{2026, {25, 22, 29, 26, 31, 28, 26, 30, 27, 25, 29, 27}},
                        Case{2032, {25, 29, 28, 25, 30, 27, 25, 29, 26, 31, 28, 26}},
                        Case{2100, {31, 28, 28, 25, 30, 27, 25, 29, 26, 31, 28, 26}}}) {
    for (int month = 1; month <= 12; ++month) {
      const Result<std::uint16_t> day =
          LastSundayOfMonth(static_cast<std::uint16_t>(month), testing::At(c.year, 12, 31));
      ASSERT_TRUE(day.ok());
      EXPECT_EQ(day.value(), c.days[month - 1]) << c.year << "-" << month;
    }
  }
}

TEST(LastSundayOfMonth, MonthOutsideOneToTwelveIsNoDate) {
  for (const std::uint16_t month : {0, 13, 14, 255, 65535}) {
    const Result<std::uint16_t> day = LastSundayOfMonth(month, testing::At(2026, 12, 31));
    EXPECT_EQ(day.status(),
              Status::Error(StatusCode::kDateEncode, "Invalid argument to date encode"))
        << month;
  }
}

}  // namespace
}  // namespace orvik::core

// The clock-setting log line and its time and date formats.
#include "core/clock_log_line.h"

#include <gtest/gtest.h>

#include <string>

#include "support/dates.h"

namespace orvik::core {
namespace {

using testing::At;

constexpr const char* kText = "Set PC time to";

TEST(LogClockSet, WritesTheLineByteForByte) {
  struct Case {
    DateTime pc_now;
    DateTime set_time;
    std::string line;
  };
  const Case cases[] = {
      {At(2026, 12, 7, 12, 0, 1, 250), At(2026, 12, 7, 12, 0, 0, 0),
       "12:00:01 Set PC time to (Huge difference) ..................... 07.12.2026 12:00:00 "
       "Diff (msec.): -1250"},
      {At(2026, 12, 7, 12, 0, 0, 300), At(2026, 12, 7, 12, 0, 0, 0),
       "12:00:00 Set PC time to 07.12.2026 12:00:00 Diff (msec.): -300"},
      // Forward across the year end.
      {At(2026, 12, 31, 23, 59, 59, 500), At(2027, 1, 1, 0, 0, 0, 0),
       "23:59:59 Set PC time to 01.01.2027 00:00:00 Diff (msec.): 500"},
      // A clock a day behind.
      {At(2024, 2, 28, 9, 5, 7, 0), At(2024, 2, 29, 9, 5, 7, 0),
       "09:05:07 Set PC time to (Huge difference) ..................... 29.02.2024 09:05:07 "
       "Diff (msec.): 86400000"},
      {At(2026, 12, 7, 12, 0, 0, 0), At(2026, 12, 7, 12, 0, 0, 0),
       "12:00:00 Set PC time to 07.12.2026 12:00:00 Diff (msec.): 0"},
  };
  for (const Case& c : cases) EXPECT_EQ(LogClockSet(kText, c.pc_now, c.set_time), c.line);
}

TEST(LogClockSet, HugeFromOneWholeSecondEitherWay) {
  const DateTime set = At(2026, 12, 7, 12, 0, 0, 0);
  struct Case {
    DateTime pc_now;
    bool huge;
  };
  for (const Case c :
       {Case{At(2026, 12, 7, 11, 59, 59, 1), false}, Case{At(2026, 12, 7, 11, 59, 59, 0), true},
        Case{At(2026, 12, 7, 12, 0, 0, 999), false}, Case{At(2026, 12, 7, 12, 0, 1, 0), true}}) {
    const std::string line = LogClockSet(kText, c.pc_now, set);
    EXPECT_EQ(line.find("(Huge difference)") != std::string::npos, c.huge) << line;
  }
}

TEST(DifferenceMilliseconds, IsExactOverDaysMonthsAndYears) {
  EXPECT_EQ(DifferenceMilliseconds(At(2024, 3, 1, 12, 0), At(2024, 2, 28, 12, 0)),
            2LL * 86'400'000);
  EXPECT_EQ(DifferenceMilliseconds(At(2023, 3, 1, 12, 0), At(2023, 2, 28, 12, 0)), 86'400'000);
  EXPECT_EQ(DifferenceMilliseconds(At(2026, 1, 1, 0, 0), At(2027, 1, 1, 0, 0)),
            -365LL * 86'400'000);
  EXPECT_EQ(DifferenceMilliseconds(At(2026, 12, 7, 0, 0, 0, 1), At(2026, 12, 6, 23, 59, 59, 999)),
            2);
}

TEST(LogFormats, PadEveryFieldWithZeros) {
  EXPECT_EQ(FormatLongTime(At(2026, 1, 2, 9, 5, 7)), "09:05:07");
  EXPECT_EQ(FormatLongTime(At(2026, 1, 2, 23, 59, 59, 999)), "23:59:59");
  EXPECT_EQ(FormatShortDate(At(2026, 1, 2, 0, 0)), "02.01.2026");
  EXPECT_EQ(FormatShortDate(At(794, 12, 31, 0, 0)), "31.12.0794");
}

}  // namespace
}  // namespace orvik::core

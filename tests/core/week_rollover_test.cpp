// A receiver date whole GPS week eras behind is brought back only into the
// settable years and close to the PC clock.
#include "core/week_rollover.h"

#include <gtest/gtest.h>

namespace orvik::core {
namespace {

TEST(WeekRollover, ErasAreAddedBackOnlyIntoTheSettableYearsNearThePcClock) {
  const SettableSpan settable = SettableSpanFrom(DateTime{.year = 2026, .month = 1, .day = 1});
  const UtcNanos now = UtcNanosOf(DateTime{.year = 2026, .month = 12, .day = 9}).value();
  const RolloverCheck check{settable, now};
  struct Case {
    const char* what;
    UtcNanos reported;
    int eras;
  };
  const Case cases[] = {
      {"today", now, 0},
      {"one era back", now - kGpsWeekEraNanos, 1},
      {"two eras back", now - 2 * kGpsWeekEraNanos, 2},
      {"three eras back", now - 3 * kGpsWeekEraNanos, 3},
      {"four eras back", now - 4 * kGpsWeekEraNanos, 0},
      {"one era and 30 days back", now - kGpsWeekEraNanos - kRolloverPcWindowNanos, 1},
      {"one era and a day more back",
       now - kGpsWeekEraNanos - kRolloverPcWindowNanos - 86'400 * kNanosPerSecond, 0},
      {"a capture of 2007 replayed",
       UtcNanosOf(DateTime{.year = 2007, .month = 10, .day = 12}).value(), 0},
      {"after the settable years", settable.latest + 1, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(RolloverEras(c.reported, check), c.eras) << c.what;
}

}  // namespace
}  // namespace orvik::core

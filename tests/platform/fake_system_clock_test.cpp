// FakeSystemClock: the stand-in for the PC clock in the tests of the layers
// above; its contract is what those tests rely on.
#include "fakes/fake_system_clock.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvik::testing {
namespace {

TEST(FakeSystemClock, StandsStillAdvancesAndRecordsEverySetting) {
  const core::DateTime start{.year = 2026,
                             .month = 12,
                             .day = 31,
                             .hour = 23,
                             .minute = 59,
                             .second = 59,
                             .millisecond = 500};
  FakeSystemClock clock(start);
  const core::UtcNanos t0 = core::UtcNanosOf(start).value();
  EXPECT_EQ(clock.NowUtc(), t0);
  const core::MonotonicNanos m0 = clock.NowMonotonic();
  clock.Advance(600);
  EXPECT_EQ(clock.NowUtc(), t0 + 600 * core::kNanosPerMilli);
  EXPECT_EQ(clock.NowMonotonic() - m0, 600 * core::kNanosPerMilli);  // moved by the test alone

  EXPECT_TRUE(clock.SetUtc(t0 + core::kNanosPerSecond).ok());
  EXPECT_EQ(clock.NowUtc(), t0 + core::kNanosPerSecond);
  clock.FailSetting(true);
  EXPECT_EQ(clock.SetUtc(t0).message(), "no time privilege");
  EXPECT_EQ(clock.NowUtc(), t0 + core::kNanosPerSecond);  // a failed setting moves nothing
  EXPECT_EQ(clock.SetCalls(), (std::vector<core::UtcNanos>{t0 + core::kNanosPerSecond, t0}));
}

}  // namespace
}  // namespace orvik::testing

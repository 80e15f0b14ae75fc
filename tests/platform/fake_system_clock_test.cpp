// FakeSystemClock: the stand-in for the PC clock in the tests of the layers
// above; its contract is what those tests rely on.
#include "fakes/fake_system_clock.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "core/calendar.h"

namespace orvik::testing {
namespace {

core::DateTime At(int y, int mo, int d, int h, int mi, int s = 0, int ms = 0) {
  core::DateTime t;
  t.year = static_cast<std::uint16_t>(y);
  t.month = static_cast<std::uint16_t>(mo);
  t.day = static_cast<std::uint16_t>(d);
  if (core::IsValidDate(y, mo, d)) {
    t.day_of_week = static_cast<std::uint16_t>(core::DayOfWeek(y, mo, d));
  }
  t.hour = static_cast<std::uint16_t>(h);
  t.minute = static_cast<std::uint16_t>(mi);
  t.second = static_cast<std::uint16_t>(s);
  t.millisecond = static_cast<std::uint16_t>(ms);
  return t;
}

TEST(FakeSystemClock, StandsStillAdvancesAndIsMovedBySetting) {
  FakeSystemClock clock(At(2026, 12, 31, 23, 59, 59, 500));
  EXPECT_EQ(clock.Now(), At(2026, 12, 31, 23, 59, 59, 500));
  clock.Advance(600);
  EXPECT_EQ(clock.Now(), At(2027, 1, 1, 0, 0, 0, 100));

  core::DateTime set = At(2027, 1, 1, 0, 0, 2);
  set.day_of_week = 3;  // wrong on purpose: ignored
  EXPECT_TRUE(clock.SetLocalTime(set).ok());
  EXPECT_EQ(clock.Now(), At(2027, 1, 1, 0, 0, 2));
  EXPECT_EQ(clock.SetCalls(), std::vector<core::DateTime>{set});
}

TEST(FakeSystemClock, RecordsRefusedAndFailedSettingsWithoutMoving) {
  FakeSystemClock clock(At(2026, 6, 1, 12, 0));
  const core::DateTime invalid = At(2026, 4, 31, 12, 0);
  EXPECT_EQ(clock.SetLocalTime(invalid).code(), core::StatusCode::kInvalidArgument);
  clock.FailSetLocalTime(true);
  EXPECT_EQ(clock.SetLocalTime(At(2026, 6, 1, 13, 0)).code(), core::StatusCode::kIoError);
  EXPECT_EQ(clock.Now(), At(2026, 6, 1, 12, 0));
  EXPECT_EQ(clock.SetCalls().size(), 2u);
}

TEST(FakeSystemClock, KeepsEveryCallFromSeveralThreads) {
  FakeSystemClock clock;
  constexpr int kPerThread = 500;
  auto setter = [&clock](int minute) {
    for (int i = 0; i < kPerThread; ++i) (void)clock.SetLocalTime(At(2026, 1, 1, 0, minute));
  };
  std::thread first(setter, 1);
  std::thread second(setter, 2);
  for (int i = 0; i < kPerThread; ++i) (void)clock.Now();
  first.join();
  second.join();
  EXPECT_EQ(clock.SetCalls().size(), 2u * kPerThread);
}

}  // namespace
}  // namespace orvik::testing

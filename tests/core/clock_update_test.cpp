// UpdatePcClock: when the PC clock is set from the receiver, and to what.
#include "core/clock_update.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/calendar.h"
#include "core/settings.h"
#include "support/dates.h"

namespace orvik::core {
namespace {

using testing::At;

Settings WithInterval(std::uint16_t messages, bool only_min_sec = false) {
  Settings settings;
  settings.ClockUpdateInterval = messages;
  settings.OnlyMinSec = only_min_sec;
  return settings;
}

const DateTime kPcNow = At(2026, 12, 7, 10, 30, 30, 400);
const DateTime kMessage = At(2026, 12, 7, 10, 30, 31);

// Feeds `count` messages the way the NMEA decoder does: the counter steps for
// every message, the decision runs only for the valid ones. Returns the
// 1-based numbers of the messages that set the clock.
std::vector<int> ClockSettings(const Settings& settings, int count, bool (*valid)(int message)) {
  std::uint32_t counter = kInitialMessageCounter;
  std::vector<int> set_at;
  for (int message = 1; message <= count; ++message) {
    StepMessageCounter(counter);
    if (!valid(message)) continue;
    if (UpdatePcClock(counter, settings, kMessage, kPcNow).set_clock) {
      set_at.push_back(message);
    }
  }
  return set_at;
}

TEST(UpdatePcClock, SetsAtTheFirstMessageThenEveryIntervalPlusOne) {
  EXPECT_EQ(ClockSettings(WithInterval(60), 200, [](int) { return true; }),
            (std::vector<int>{1, 62, 123, 184}));
  EXPECT_EQ(ClockSettings(WithInterval(0), 4, [](int) { return true; }),
            (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(ClockSettings(WithInterval(65535), 70000, [](int) { return true; }),
            (std::vector<int>{1, 65537}));
}

TEST(UpdatePcClock, FirstValidFixAfterALongInvalidStretchSetsAtOnce) {
  // Messages 2..100 have no valid fix: longer than the 60-message interval.
  EXPECT_EQ(ClockSettings(WithInterval(60), 200, [](int m) { return m == 1 || m > 100; }),
            (std::vector<int>{1, 101, 162}));
  // Invalid from the very start (the count stops at its top instead of
  // wrapping): the first valid one still sets the clock.
  EXPECT_EQ(ClockSettings(WithInterval(60), 100, [](int m) { return m > 2; }),
            (std::vector<int>{3, 64}));
  EXPECT_EQ(ClockSettings(WithInterval(60), 100, [](int m) { return m > 30; }),
            (std::vector<int>{31, 92}));
  // A short invalid stretch does not move the schedule.
  EXPECT_EQ(ClockSettings(WithInterval(60), 130, [](int m) { return m < 20 || m > 40; }),
            (std::vector<int>{1, 62, 123}));
}

TEST(UpdatePcClock, AMessageTimeThatIsNoDateTimeNeverSetsNorUsesTheInterval) {
  const DateTime invalid[] = {At(2026, 13, 1, 10, 0),     At(2026, 0, 1, 10, 0),
                              At(2026, 4, 31, 10, 0),     At(2027, 2, 29, 10, 0),
                              At(0, 1, 1, 10, 0),         At(2026, 12, 0, 10, 0),
                              At(2026, 12, 7, 24, 0),     At(2026, 12, 7, 10, 60),
                              At(2026, 12, 7, 10, 0, 60), At(2026, 12, 7, 10, 0, 0, 1000)};
  for (const DateTime& message : invalid) {
    for (const bool only_min_sec : {false, true}) {
      std::uint32_t counter = kInitialMessageCounter + 1;
      const ClockDecision decision =
          UpdatePcClock(counter, WithInterval(60, only_min_sec), message, kPcNow);
      EXPECT_FALSE(decision.set_clock) << message.month << "/" << message.day;
      EXPECT_EQ(decision.SetTime, DateTime{});
      EXPECT_EQ(counter, kInitialMessageCounter + 1) << "counter must be left as it was";
    }
  }
}

TEST(UpdatePcClock, InvalidMessageInTheMiddleLetsTheNextGoodOneSet) {
  const Settings settings = WithInterval(60);
  std::uint32_t counter = kInitialMessageCounter;
  std::vector<int> set_at;
  for (int message = 1; message <= 130; ++message) {
    StepMessageCounter(counter);
    const DateTime time = message == 62 ? At(2026, 13, 7, 10, 30) : kMessage;
    if (UpdatePcClock(counter, settings, time, kPcNow).set_clock) {
      set_at.push_back(message);
    }
  }
  EXPECT_EQ(set_at, (std::vector<int>{1, 63, 124}));
}

TEST(UpdatePcClock, OnlyMinSecSkipsTheTopOfTheHourButRestartsTheCount) {
  struct Case {
    int pc_minute;
    bool set;
  };
  for (const Case c : {Case{0, false}, Case{1, false}, Case{59, false}, Case{2, true},
                       Case{58, true}, Case{30, true}}) {
    std::uint32_t counter = 61;
    const DateTime pc = At(2026, 12, 7, 10, c.pc_minute, 30);
    const ClockDecision decision = UpdatePcClock(counter, WithInterval(60, true), kMessage, pc);
    EXPECT_EQ(decision.set_clock, c.set) << "PC minute " << c.pc_minute;
    EXPECT_EQ(counter, 0u) << "PC minute " << c.pc_minute;
  }
  // Without OnlyMinSec the PC's minute does not matter.
  std::uint32_t counter = 61;
  EXPECT_TRUE(
      UpdatePcClock(counter, WithInterval(60), kMessage, At(2026, 12, 7, 10, 59, 30)).set_clock);
}

TEST(UpdatePcClock, BeforeTheIntervalPassesNothingIsSetAndTheCountGoesOn) {
  for (const bool only_min_sec : {false, true}) {
    std::uint32_t counter = 60;  // equal to the interval: not yet
    EXPECT_FALSE(
        UpdatePcClock(counter, WithInterval(60, only_min_sec), kMessage, kPcNow).set_clock);
    EXPECT_EQ(counter, 60u);
  }
}

TEST(UpdatePcClock, ComposesTheTimeSetFromMessageOrPcAsConfigured) {
  struct Case {
    const char* what;
    bool only_min_sec;
    DateTime pc;
    DateTime message;
    DateTime expected;
  };
  const Case cases[] = {
      {"whole message time", false, At(2026, 12, 7, 10, 30, 30, 400), At(2026, 12, 7, 10, 31, 0),
       At(2026, 12, 7, 10, 31, 0, 0)},
      {"whole message time: the message's milliseconds are not the second's", false,
       At(2026, 12, 7, 10, 30, 30, 400), At(2027, 1, 1, 0, 0, 5, 700), At(2027, 1, 1, 0, 0, 5, 0)},
      {"minutes and seconds only: the PC's milliseconds are dropped too", true,
       At(2026, 12, 7, 10, 30, 30, 400), At(2026, 12, 7, 10, 31, 0), At(2026, 12, 7, 10, 31, 0, 0)},
      {"minutes and seconds only: date and hour stay the PC's", true,
       At(2026, 12, 31, 23, 30, 10, 500), At(2027, 1, 1, 2, 29, 50),
       At(2026, 12, 31, 23, 29, 50, 0)},
  };
  for (const Case& c : cases) {
    std::uint32_t counter = kInitialMessageCounter + 1;
    const ClockDecision decision =
        UpdatePcClock(counter, WithInterval(60, c.only_min_sec), c.message, c.pc);
    EXPECT_TRUE(decision.set_clock) << c.what;
    EXPECT_EQ(decision.SetTime, c.expected) << c.what;
  }
}

}  // namespace
}  // namespace orvik::core

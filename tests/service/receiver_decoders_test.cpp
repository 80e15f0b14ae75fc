// When the decoders set the PC clock, and to what: only from messages whose
// second was seen begin on the line, to the message's UTC plus the time
// since (and the receiver's delay), never outside the settable years, and
// failures told once. Runs a real acquisition thread on the fake line.
#include "service/receiver_decoders.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/checksums.h"
#include "fakes/fake_system_clock.h"
#include "fakes/service/recording_sender.h"
#include "support/acquisition_harness.h"
#include "support/wait_until.h"

namespace orvik::testing {
namespace {

using namespace std::chrono_literals;

// 1 June 2026 10:00:00 UTC plus `millis`, as a valid RMC with a fraction.
std::string RmcAt(std::int64_t millis, const char* date = "010626") {
  const std::int64_t s = millis / 1000;
  char time[64];
  std::snprintf(time, sizeof time, "10%02lld%02lld.%03lld", static_cast<long long>(s / 60),
                static_cast<long long>(s % 60), static_cast<long long>(millis % 1000));
  return core::NmeaSentence(std::string("GPRMC,") + time + ",A,1,N,1,E,0,0," + date + ",,");
}

core::UtcNanos UtcAt(std::int64_t millis) {
  return core::UtcNanosOf(core::DateTime{.year = 2026, .month = 6, .day = 1, .hour = 10}).value() +
         millis * core::kNanosPerMilli;
}

class DecodersClockTest : public ::testing::Test {
 protected:
  DecodersClockTest()
      : decoders_(clock_, platform::MachineMonotonicClock(), sender_,
                  core::SettableSpanFrom(core::DateTime{.year = 2020, .month = 1, .day = 1})) {
    harness_.settings().ClockUpdateInterval = 0;  // every fresh message sets the clock
    harness_.settings().LoggingEnabled = true;
    harness_.UseDecoders(decoders_);
  }

  // Starts the thread and waits until it reads the line.
  void Start() {
    harness_.Start();
    ASSERT_TRUE(harness_.fake().WaitForStarvedReads(1, 5s));
  }

  // Feeds one sentence (as a burst that begins now, or as a backlog) and
  // waits until it was decoded to the end (the texts are published last,
  // after the clock decision). Returns how long that took: the most any
  // setting may lie after the message's instant.
  std::int64_t FeedAndWait(const std::string& sentence, bool live = true) {
    std::atomic<bool>& decoded = harness_.shared().display.NewDisplayFlag;
    decoded = false;
    const auto fed = std::chrono::steady_clock::now();
    harness_.fake().FeedAfterNextPurge(sentence, live);
    EXPECT_TRUE(WaitUntil([&] { return decoded.load(); }, 5s)) << sentence;
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                                fed)
        .count();
  }

  FakeSystemClock clock_;
  RecordingSender sender_;
  service::ReceiverDecoders decoders_;
  AcquisitionHarness harness_;  // last: its thread stops first
};

TEST_F(DecodersClockTest, OnlyMessagesSeenLiveThatAdvanceWithTheMonotonicClockSetIt) {
  struct Step {
    std::int64_t millis;  // message time after 10:00:00 UTC
    bool live;
    bool sets;
  };
  const Step steps[] = {
      {0, true, true},       // the first fresh message
      {100, false, false},   // its bytes were waiting: a backlog
      {200, true, true},
      {5200, true, false},   // the receiver's time jumped: not trusted yet
      {5300, true, true},    // it keeps to the new time: followed
  };
  Start();
  std::size_t sets = 0;
  for (const Step& step : steps) {
    std::this_thread::sleep_for(100ms);
    const std::int64_t took = FeedAndWait(RmcAt(step.millis), step.live);
    SCOPED_TRACE(step.millis);
    sets += step.sets ? 1 : 0;
    ASSERT_EQ(clock_.SetCalls().size(), sets);
    if (!step.sets) continue;
    // The message's UTC plus the moment that passed since it was fed.
    const std::int64_t late = clock_.SetCalls().back() - UtcAt(step.millis);
    EXPECT_GE(late, 0);
    EXPECT_LE(late, took);
  }
}

TEST_F(DecodersClockTest, ReceiverDelayIsAddedToTheTimeSet) {
  harness_.settings().ReceiverDelayMs = 250;
  Start();
  const std::int64_t took = FeedAndWait(RmcAt(0));
  ASSERT_EQ(clock_.SetCalls().size(), 1u);
  const std::int64_t late = clock_.SetCalls()[0] - UtcAt(0);
  EXPECT_GE(late, 250 * core::kNanosPerMilli);
  EXPECT_LE(late, 250 * core::kNanosPerMilli + took);
}

TEST_F(DecodersClockTest, FailuresAreLoggedOnceAndToldWhileTheyLast) {
  service::ClockKeepingState& keeping = harness_.shared().clock_keeping;
  clock_.FailSetting(true);
  Start();
  for (std::int64_t millis : {0, 100, 200}) {
    std::this_thread::sleep_for(100ms);
    FeedAndWait(RmcAt(millis));
  }
  EXPECT_EQ(clock_.SetCalls().size(), 3u);
  EXPECT_EQ(keeping.Problem(), "PC clock not set: no time privilege");

  clock_.FailSetting(false);
  std::this_thread::sleep_for(100ms);
  FeedAndWait(RmcAt(300));
  EXPECT_EQ(keeping.Problem(), "");
  harness_.Stop();

  const std::vector<std::string> lines = harness_.log().Lines();
  ASSERT_EQ(lines.size(), 4u) << "Start, one failure, one setting, Stop";
  EXPECT_EQ(lines[1], "Could not set PC time to 01.06.2026 12:00:00: no time privilege");
  EXPECT_NE(lines[2].find("Set PC time to"), std::string::npos) << lines[2];
  EXPECT_NE(lines[2].find(" 01.06.2026 12:00:00 Diff (msec.): "), std::string::npos) << lines[2];
}

TEST_F(DecodersClockTest, DatesOutsideTheSettableYearsAreRefusedAndTold) {
  Start();
  FeedAndWait(RmcAt(0, "010619"));  // before the first year this build may set
  EXPECT_TRUE(clock_.SetCalls().empty());
  EXPECT_EQ(harness_.shared().clock_keeping.Problem(),
            "PC clock not set: the date lies outside the years this program sets");
  harness_.Stop();
  EXPECT_EQ(harness_.log().Lines().at(1),
            "Could not set PC time to 01.06.2019 12:00:00: the date lies outside the years this "
            "program sets");
}

}  // namespace
}  // namespace orvik::testing

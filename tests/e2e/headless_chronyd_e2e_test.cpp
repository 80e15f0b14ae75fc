// The headless program feeding a real chronyd: the simulator sends live NMEA
// at 4800 baud, line rate, each second's output starting `delay_ms` after the
// real second; the program (line 15 = that delay, line 16 = chronyd's SOCK
// socket) hands every fresh message to chronyd, which runs with -x and
// without CAP_SYS_TIME and carries the receiver delay as its refclock offset.
// The simulator's time is the real time, so chronyd must find the system
// clock right to a few milliseconds, and the program must leave the clock
// alone: the recorder sees no call that sets or steers it.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <ostream>
#include <string>

#include "e2e/chronyd_harness.h"
#include "e2e/headless_fixture.h"
#include "support/file_text.h"
#include "support/wait_until.h"

namespace orvik::testing {
namespace {

using namespace std::chrono_literals;

// From the first receiver message until chronyd selects the receiver.
constexpr auto kSelectionLimit = 10s;
// chronyd's estimate of the system clock's offset from the simulator's time.
constexpr double kOffsetToleranceSeconds = 0.005;

struct ReceiverDelay {
  const char* milliseconds;    // the simulator's --delay-ms and line 15
  const char* chrony_seconds;  // the refclock's "offset"
};

void PrintTo(const ReceiverDelay& delay, std::ostream* out) { *out << delay.milliseconds << " ms"; }

class HeadlessFeedsChronyd : public HeadlessProgram,
                             public ::testing::WithParamInterface<ReceiverDelay> {};

TEST_P(HeadlessFeedsChronyd, ChronydSelectsTheReceiverAndFindsTheClockRight) {
  const ReceiverDelay delay = GetParam();
  ChronydUnderTest chronyd(std::string(ChronydUnderTest::kRefclockOptions) + " offset " +
                           delay.chrony_seconds);
  ASSERT_TRUE(chronyd.Start(10s));
  ASSERT_TRUE(WriteFileAtomically(work_ / "GPS_parm.txt",
                                  SettingsFileText("2", "NMEA_0183", false) + delay.milliseconds +
                                      "\r\n" + chronyd.RefclockSocket().string() + "\r\n"));
  const Simulator sim = StartSimulator({"--protocol", "nmea", "--pace", "bytes", "--delay-ms",
                                        delay.milliseconds, "--start-delay", kSimStartDelayText});
  ASSERT_FALSE(sim.device.empty());
  const auto data_flows = std::chrono::steady_clock::now() + kSimStartDelay;
  ASSERT_TRUE(StartDaemon(true));
  ASSERT_LT(std::chrono::steady_clock::now(), data_flows)
      << "the checks came too late: receiver data may have flowed";

  const auto limit = std::chrono::duration_cast<std::chrono::milliseconds>(
      data_flows + kSelectionLimit - std::chrono::steady_clock::now());
  ASSERT_TRUE(WaitUntil([&] { return chronyd.GpsSelected(); }, limit, 250ms))
      << chronyd.Chronyc("sources") << chronyd.Chronyc("sourcestats") << chronyd.Log();
  const std::optional<double> offset = chronyd.EstimatedOffsetSeconds();
  ASSERT_TRUE(offset.has_value()) << chronyd.Chronyc("tracking");
  EXPECT_NEAR(*offset, 0.0, kOffsetToleranceSeconds)
      << chronyd.Chronyc("tracking") << chronyd.Chronyc("sourcestats");
  EXPECT_TRUE(ClockCalls().empty()) << ReadFileText(clock_log_);
}

std::string DelayName(const ::testing::TestParamInfo<ReceiverDelay>& delay) {
  return "Delay" + std::string(delay.param.milliseconds) + "ms";
}

INSTANTIATE_TEST_SUITE_P(Delays, HeadlessFeedsChronyd,
                         ::testing::Values(ReceiverDelay{"0", "0"}, ReceiverDelay{"250", "0.25"}),
                         DelayName);

}  // namespace
}  // namespace orvik::testing

// The headless program beside two busy loops on this machine: live NMEA at
// the line rate from a receiver whose output starts 0..40 ms late, every
// message offered to the clock. The reading thread keeps its timing: the
// clock is set on most seconds, and every setting it attempts lies within
// 50 ms of the real time of the call (the recorder sets nothing). Runs alone
// (the loops would slow the others).
#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "e2e/headless_fixture.h"
#include "support/file_text.h"

namespace orvik::testing {
namespace {

using namespace std::chrono_literals;

constexpr auto kRun = 25s;

TEST_F(HeadlessProgram, BesideBusyLoopsEveryClockSettingIsRight) {
  std::string parm = SettingsFileText("2", "NMEA_0183", false);
  parm.replace(parm.find("\r\n60\r\n"), 6, "\r\n0\r\n");  // every message may set the clock
  ASSERT_TRUE(WriteFileAtomically(work_ / "GPS_parm.txt", parm));
  const Simulator sim = StartSimulator({"--protocol", "nmea", "--pace", "bytes", "--jitter-ms",
                                        "40", "--start-delay", kSimStartDelayText});
  ASSERT_FALSE(sim.device.empty()) << "simulator did not start";
  ASSERT_TRUE(StartDaemon(true));
  // Two loops that spin for the run's length, at the program's own priority.
  std::vector<std::unique_ptr<ChildProcess>> loops;
  for (int i = 0; i < 2; ++i) {
    ProcessOptions options;
    options.argv = {"timeout", "60", "sh", "-c", "while :; do :; done"};
    loops.push_back(std::make_unique<ChildProcess>(options));
    ASSERT_TRUE(loops.back()->started()) << loops.back()->failure();
  }
  std::this_thread::sleep_for(kSimStartDelay + kRun);
  loops.clear();  // ended by their PIDs

  std::vector<std::int64_t> errors_ms;
  for (const ClockCall& call : ClockCalls()) {
    if (call.clock_id != CLOCK_REALTIME) continue;
    const std::int64_t set = call.seconds * 1'000'000'000LL + call.nanoseconds;
    const std::int64_t real = call.real_seconds * 1'000'000'000LL + call.real_nanoseconds;
    errors_ms.push_back((set - real) / 1'000'000);
  }
  // About one setting a second; the loops may cost a few, never most.
  EXPECT_GE(errors_ms.size(), std::chrono::seconds(kRun).count() / 2) << Stderr();
  for (const std::int64_t error : errors_ms) EXPECT_LT(std::llabs(error), 50) << error << " ms";
}

}  // namespace
}  // namespace orvik::testing

// End-to-end tests of the headless program against signals and broken
// standard streams: a signal that ends it must end it in order ("Stop" in the
// event log, exit status 0), one without meaning must not end it, and a
// closed or dead stderr must not silence the time service.
// Every program here runs through ChildProcess, under setpriv --bounding-set -sys_time.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <optional>
#include <string>

#include "e2e/headless_fixture.h"

namespace orvik::testing {
namespace {

class HeadlessSignals : public HeadlessProgram {
 protected:
  // Starts a silent receiver and the program with logging on; succeeds once
  // the program has the receiver's port open (its start-up has completed).
  void StartWithSilentReceiver(StandardStreams streams) {
    ASSERT_TRUE(
        WriteFileAtomically(work_ / "GPS_parm.txt", SettingsFileText("2", "NMEA_0183", true)));
    sim_ = StartSimulator({"--protocol", "nmea", "--start-delay", "1000"});
    ASSERT_FALSE(sim_.device.empty()) << "simulator did not start";
    ASSERT_TRUE(StartDaemon(streams == StandardStreams::kInherited, streams));
    ASSERT_TRUE(WaitUntil([&] { return HasOpen(daemon_->pid(), sim_.device); }, 10s));
  }

  // Sends `signal` and expects the orderly end: exit status 0, "Stop" logged.
  void ExpectOrderlyEndOn(int signal) {
    daemon_->Signal(signal);
    const std::optional<int> status = daemon_->WaitForExit(10s);
    ASSERT_TRUE(status.has_value()) << "still running 10 s after signal " << signal;
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << *status;
    EXPECT_TRUE(IsOneRunLog(ReadFileText(work_ / "GPS_log.txt")));
  }

  bool EndsWithin(std::chrono::milliseconds limit) {
    return WaitUntil([&] { return !daemon_->Running(); }, limit);
  }

  Simulator sim_;
};

TEST_F(HeadlessSignals, Usr1IsIgnoredAndHangupAndQuitEndInOrder) {
  for (const int signal : {SIGHUP, SIGQUIT}) {
    SCOPED_TRACE(signal);
    std::filesystem::remove(work_ / "GPS_log.txt");
    ASSERT_NO_FATAL_FAILURE(StartWithSilentReceiver(StandardStreams::kInherited));
    daemon_->Signal(SIGUSR1);
    EXPECT_FALSE(EndsWithin(2s)) << "SIGUSR1 ended the program";
    ExpectOrderlyEndOn(signal);
    EXPECT_TRUE(StderrHasLine("orvik-gpstimed: stopped"));
    sim_ = {};
  }
}

TEST_F(HeadlessSignals, ServesOnWithBrokenStandardStreams) {
  for (const StandardStreams streams :
       {StandardStreams::kStderrReaderGone, StandardStreams::kClosed}) {
    SCOPED_TRACE(static_cast<int>(streams));
    std::filesystem::remove(work_ / "GPS_log.txt");
    ASSERT_NO_FATAL_FAILURE(StartWithSilentReceiver(streams));
    EXPECT_TRUE(CanConnect(kServerPort));
    // Past the first communication check, which writes "No communication!".
    EXPECT_FALSE(EndsWithin(5s)) << "the program ended";
    if (streams == StandardStreams::kClosed) {
      for (int fd = 0; fd <= 2; ++fd) {
        const auto link = "/proc/" + std::to_string(daemon_->pid()) + "/fd/" + std::to_string(fd);
        std::error_code error;
        EXPECT_EQ(std::filesystem::read_symlink(link, error), "/dev/null") << fd;
      }
    }
    ExpectOrderlyEndOn(SIGTERM);
    sim_ = {};
  }
}

}  // namespace
}  // namespace orvik::testing

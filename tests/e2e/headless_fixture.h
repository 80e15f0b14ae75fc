// The fixture of the headless program's end-to-end tests: a temporary
// working directory, the receiver simulator linked there as COM2, the
// program started without the right to set the clock and with the
// clock-call recorder preloaded, the LAN client, and readers of the
// program's stderr and of the recorded clock calls. All waits are bounded;
// processes are ended by PID.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "e2e/e2e_support.h"

namespace orvik::testing {

using namespace std::chrono_literals;

// The simulator is silent this long after its start-up line: time to start
// the program, check its privileges and connect a client before any
// receiver data flows.
inline constexpr auto kSimStartDelay = 6s;
inline constexpr const char* kSimStartDelayText = "6";
// What a start-up under TZ=UTC, without CAP_SYS_TIME, logs before "Start".
inline constexpr const char* kStartupNoticesLogged =
    "The machine's time zone is UTC+00:00, the configured local time UTC+02:00: the PC clock is "
    "kept in UTC, and the times shown and sent are UTC+02:00.\r\n"
    "No right to set the PC clock: the time is served, but the PC clock is not kept.\r\n";
inline constexpr const char* kServingLine =
    "orvik-gpstimed: serving time on TCP port 1609; receiver on COM2";

inline ProgramPaths Programs() {
  return {ORVIK_GPSTIMED_PATH, GPSTIME_SIM_PATH, GPSTIME_CLIENT_PATH, ORVIK_CLOCK_RECORDER_PATH};
}

// One clock_settime call as the recorder wrote it.
struct ClockCall {
  int clock_id = -1;
  long long seconds = 0;
  long nanoseconds = -1;
  std::string local_text;
};

class HeadlessProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(root_.path().empty());
    ASSERT_TRUE(std::filesystem::create_directory(work_));
    // Another program on the port would make every result meaningless.
    ASSERT_TRUE(WaitUntil([] { return PortIsFree(kServerPort); }, 60s))
        << "TCP port 1609 stays in use by another program";
  }

  void TearDown() override {
    if (daemon_ && HasFailure()) {
      std::cerr << "--- orvik-gpstimed stderr ---\n"
                << Stderr() << "--- clock calls ---\n"
                << ReadFileText(clock_log_);
    }
  }

  // Starts the simulator with `args` (linked as work_/COM2), like the
  // program without the right to set the clock, and waits for its start-up
  // line; `device` receives its pty device, or "" when something failed.
  std::unique_ptr<ChildProcess> StartSimulator(std::vector<std::string> args, std::string& device) {
    ProcessOptions options;
    options.argv = {"setpriv", "--bounding-set", "-sys_time", "--", GPSTIME_SIM_PATH};
    options.argv.insert(options.argv.end(), {"--dir", work_.string(), "--port", "2", "--quiet"});
    options.argv.insert(options.argv.end(), args.begin(), args.end());
    options.capture_stdout = true;
    auto sim = std::make_unique<ChildProcess>(options);
    const std::optional<std::string> line = sim->ReadLine(10s);
    const std::string prefix = "gpstime-sim: ";
    const std::size_t linked = line ? line->find(" linked as ") : std::string::npos;
    if (line && line->starts_with(prefix) && linked != std::string::npos) {
      device = line->substr(prefix.size(), linked - prefix.size());
    } else {
      device.clear();
    }
    if (auto checked = CannotSetClock(sim->pid(), GPSTIME_SIM_PATH, 5s); !checked) {
      ADD_FAILURE() << checked.message();
      device.clear();
    }
    return sim;
  }

  // Starts the program, waits for its exec and refuses to go on unless it
  // cannot set the clock; with `expect_serving` also waits for its start.
  ::testing::AssertionResult StartDaemon(bool expect_serving,
                                         StandardStreams streams = StandardStreams::kInherited,
                                         std::string_view time_zone = "UTC") {
    daemon_ = StartHeadless(Programs(), work_, stderr_file_, clock_log_, streams, time_zone);
    if (!daemon_->started()) return ::testing::AssertionFailure() << "setpriv did not start";
    if (auto checked = CannotSetClock(daemon_->pid(), ORVIK_GPSTIMED_PATH, 10s); !checked) {
      daemon_->Stop(1s);
      return checked;
    }
    // The loader maps the preloaded library just after the exec: allow it a moment.
    bool recorder_loaded = false;
    for (int i = 0; i < 100 && !recorder_loaded; ++i) {
      recorder_loaded = MapsLibrary(daemon_->pid(), ORVIK_CLOCK_RECORDER_PATH);
      if (!recorder_loaded) std::this_thread::sleep_for(50ms);
    }
    if (!recorder_loaded) {
      daemon_->Stop(1s);
      return ::testing::AssertionFailure() << "the clock-call recorder is not loaded";
    }
    if (expect_serving && !WaitForStderrLine(kServingLine, 20s)) {
      return ::testing::AssertionFailure() << "no start-up line; stderr:\n" << Stderr();
    }
    return ::testing::AssertionSuccess();
  }

  std::unique_ptr<ChildProcess> StartClient(std::vector<std::string> args) {
    ProcessOptions options;
    options.argv = {GPSTIME_CLIENT_PATH, "--host", "127.0.0.1", "--port", "1609"};
    options.argv.insert(options.argv.end(), args.begin(), args.end());
    options.capture_stdout = true;
    return std::make_unique<ChildProcess>(options);
  }

  std::string Stderr() const { return ReadFileText(stderr_file_); }

  bool StderrHasLine(const std::string& wanted, std::size_t from = 0) const {
    const std::string text = Stderr();
    for (const std::string& line : SplitLines(from < text.size() ? text.substr(from) : "")) {
      if (line == wanted) return true;
    }
    return false;
  }

  bool WaitForStderrLine(const std::string& wanted, std::chrono::milliseconds limit,
                         std::size_t from = 0) const {
    return WaitUntil([&] { return StderrHasLine(wanted, from); }, limit);
  }

  // Every line the recorder wrote; clock_settime lines parsed, others kept
  // whole in local_text with clock_id -1.
  std::vector<ClockCall> ClockCalls() const {
    std::vector<ClockCall> calls;
    for (const std::string& line : SplitLines(ReadFileText(clock_log_))) {
      std::istringstream in(line);
      ClockCall call;
      std::string date, time;
      if (in >> call.clock_id >> call.seconds >> call.nanoseconds >> date >> time) {
        call.local_text = date + " " + time;
      } else {
        call = ClockCall{-1, 0, -1, line};
      }
      calls.push_back(call);
    }
    return calls;
  }

  // Reads `count` records from `client` within `limit` in all.
  static std::vector<std::string> ReadRecords(ChildProcess& client, std::size_t count,
                                              std::chrono::milliseconds limit) {
    std::vector<std::string> lines;
    const auto give_up = E2eClock::now() + limit;
    while (lines.size() < count && E2eClock::now() < give_up) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(give_up - E2eClock::now());
      const std::optional<std::string> line = client.ReadLine(left);
      if (!line) break;
      lines.push_back(*line);
    }
    return lines;
  }

  TempDir root_;
  const std::filesystem::path work_ = root_.path() / "work";
  const std::filesystem::path stderr_file_ = root_.path() / "orvik-gpstimed.stderr";
  const std::filesystem::path clock_log_ = root_.path() / "clock-calls.txt";
  std::unique_ptr<ChildProcess> daemon_;
};

}  // namespace orvik::testing

// The fixture of the headless program's end-to-end tests: a temporary
// working directory, the receiver simulator linked there as COM2, the
// program started (through the tests' launcher, so without the right to set
// the clock) with the clock-call recorder preloaded, the LAN client, and
// readers of the program's stderr and of the recorded clock calls. Every
// wait is for a condition, bounded; processes are ended by PID.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/file_text.h"
#include "support/headless_launch.h"
#include "support/loopback.h"
#include "support/process_status.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace orvik::testing {

using namespace std::chrono_literals;

// The simulator is silent this long after its start-up line: time to start
// the program and connect a client before any receiver data flows (the
// tests check that it was enough).
inline constexpr auto kSimStartDelay = 10s;
inline constexpr const char* kSimStartDelayText = "10";
// What a start-up under TZ=UTC, without CAP_SYS_TIME, logs before "Start".
inline constexpr const char* kStartupNoticesLogged =
    "The machine's time zone is UTC+00:00, the configured local time UTC+02:00: the PC clock is "
    "kept in UTC, and the times shown and sent are UTC+02:00.\r\n"
    "No right to set the PC clock: the time is served, but the PC clock is not kept.\r\n";
// The event log of a run that started once and ended in order: the start-up
// notices, "Start", the priority the reading thread reached (whichever this
// machine grants the program), "Stop".
inline ::testing::AssertionResult IsOneRunLog(const std::string& log) {
  const std::string start = std::string(kStartupNoticesLogged) + "Start\r\n";
  for (const char* reached : {"real-time priority (SCHED_FIFO 5).", "raised priority (nice -10).",
                              "normal priority: no right to raise it."}) {
    if (log == start + "Serial line read at " + reached + "\r\nStop\r\n") {
      return ::testing::AssertionSuccess();
    }
  }
  return ::testing::AssertionFailure() << "event log:\n" << log;
}
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
  // The real time of the call (the machine's clock as the recorder read it).
  long long real_seconds = 0;
  long real_nanoseconds = 0;
};

// A started simulator: its pty device ("" when it did not start) and what
// it had written once its start-up line was read.
struct Simulator {
  std::unique_ptr<ChildProcess> process;
  std::string device;
  std::int64_t written_at_start = -1;
};

class HeadlessProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.Ok());
    ASSERT_TRUE(std::filesystem::create_directory(work_));
    // Another program on the port would make every result meaningless.
    ASSERT_TRUE(WaitUntil([] { return PortIsFree(kServerPort); }, 60s, 100ms))
        << "TCP port 1609 stays in use by another program";
  }

  void TearDown() override {
    if (daemon_ && HasFailure()) {
      std::cerr << "--- orvik-gpstimed stderr ---\n"
                << Stderr() << "--- clock calls ---\n"
                << ReadFileText(clock_log_);
    }
  }

  // Starts the simulator with `args` (linked as work_/COM2) and waits for
  // its start-up line.
  Simulator StartSimulator(std::vector<std::string> args) {
    ProcessOptions options;
    options.argv = {GPSTIME_SIM_PATH, "--dir", work_.string(), "--port", "2", "--quiet"};
    options.argv.insert(options.argv.end(), args.begin(), args.end());
    options.capture_stdout = true;
    Simulator sim;
    sim.process = std::make_unique<ChildProcess>(options);
    const std::optional<std::string> line = sim.process->ReadLine(10s);
    const std::string prefix = "gpstime-sim: ";
    const std::size_t linked = line ? line->find(" linked as ") : std::string::npos;
    if (line && line->starts_with(prefix) && linked != std::string::npos) {
      sim.device = line->substr(prefix.size(), linked - prefix.size());
      sim.written_at_start = BytesWritten(sim.process->pid());
    }
    return sim;
  }

  // Starts the program and refuses to go on unless the clock-call recorder
  // is loaded; with `expect_serving` also waits for its start.
  ::testing::AssertionResult StartDaemon(bool expect_serving,
                                         StandardStreams streams = StandardStreams::kInherited,
                                         std::string_view time_zone = "UTC") {
    daemon_ = StartHeadless(Programs(), work_, stderr_file_, clock_log_, streams, time_zone);
    if (!daemon_->started()) return ::testing::AssertionFailure() << daemon_->failure();
    // The loader maps the preloaded library just after the exec.
    if (!WaitUntil([&] { return MapsLibrary(daemon_->pid(), ORVIK_CLOCK_RECORDER_PATH); }, 5s)) {
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

  // Succeeds once the program serves `client`, and only when `sim` has sent
  // nothing by then: the client then receives every record.
  ::testing::AssertionResult ServedBeforeData(const ChildProcess& client, const Simulator& sim) {
    if (!client.started()) return ::testing::AssertionFailure() << client.failure();
    if (!WaitUntil([&] { return ServedConnections(daemon_->pid(), kServerPort) > 0; }, 20s)) {
      return ::testing::AssertionFailure() << "the program never served the client";
    }
    if (BytesWritten(sim.process->pid()) != sim.written_at_start) {
      return ::testing::AssertionFailure() << "receiver data flowed before the client was served";
    }
    return ::testing::AssertionSuccess();
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
    return WaitUntil([&] { return StderrHasLine(wanted, from); }, limit, 50ms);
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
        in >> call.real_seconds >> call.real_nanoseconds;
      } else {
        call = ClockCall{-1, 0, -1, line, 0, 0};
      }
      calls.push_back(call);
    }
    return calls;
  }

  // Reads lines from `client` until `enough` holds for them, its output
  // ends, or `limit` has passed in all.
  static std::vector<std::string> ReadRecordsUntil(
      ChildProcess& client, const std::function<bool(const std::vector<std::string>&)>& enough,
      std::chrono::milliseconds limit) {
    std::vector<std::string> lines;
    const auto give_up = std::chrono::steady_clock::now() + limit;
    while (!enough(lines)) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(give_up - std::chrono::steady_clock::now());
      const std::optional<std::string> line = client.ReadLine(left);
      if (!line) break;
      lines.push_back(*line);
    }
    return lines;
  }

  // Reads `count` records from `client` within `limit` in all.
  static std::vector<std::string> ReadRecords(ChildProcess& client, std::size_t count,
                                              std::chrono::milliseconds limit) {
    return ReadRecordsUntil(
        client, [count](const std::vector<std::string>& lines) { return lines.size() >= count; },
        limit);
  }

  TempDir root_;
  const std::filesystem::path work_ = root_.path() / "work";
  const std::filesystem::path stderr_file_ = root_.path() / "orvik-gpstimed.stderr";
  const std::filesystem::path clock_log_ = root_.path() / "clock-calls.txt";
  std::unique_ptr<ChildProcess> daemon_;
};

}  // namespace orvik::testing

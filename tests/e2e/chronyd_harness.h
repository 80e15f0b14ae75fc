// ChronydUnderTest: a real chronyd for tests, in its own temporary folder and
// in the mode that never touches the clock.
//
// The folder holds chrony.conf and the run folder "run/" (owned by the
// _chrony user, mode 0770, as chronyd demands of the folder of its command
// socket) with the refclock socket, the command socket and the pid file.
// The configuration has one SOCK refclock, no NTP sources, no NTP port, no
// UDP command port and no drift file. chronyd runs as
//   chronyd -x -U -d -f <dir>/chrony.conf
// through the tests' launcher, so it can neither steer the clock (-x) nor
// gain the right to set it. chronyc reaches it through the private command
// socket only. The destructor ends chronyd by its PID. Test thread only.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "support/child_process.h"
#include "support/temp_dir.h"

namespace orvik::testing {

class ChronydUnderTest {
 public:
  // Options after "refclock SOCK <socket>": one sample a second, each used
  // as it comes, 0.2 s of assumed delay so selection needs no network.
  static constexpr std::string_view kRefclockOptions = "refid GPS poll 0 filter 1 delay 0.2";

  // Prepares the folder and the configuration; chronyd is not started yet.
  explicit ChronydUnderTest(std::string_view refclock_options = kRefclockOptions);
  ChronydUnderTest(const ChronydUnderTest&) = delete;
  ChronydUnderTest& operator=(const ChronydUnderTest&) = delete;

  // The path of the SOCK refclock socket, which chronyd creates when it starts.
  std::filesystem::path RefclockSocket() const;

  // Starts chronyd and waits up to `limit` until it runs without
  // CAP_SYS_TIME, with its refclock and command sockets in place. The failure
  // message carries chronyd's log.
  ::testing::AssertionResult Start(std::chrono::milliseconds limit);

  // The output of `chronyc -n -h <command socket> <command>` ("" when chronyc
  // could not be run), e.g. for "sources", "sourcestats" or "tracking".
  std::string Chronyc(std::string_view command) const;

  // True when chronyc lists the refclock GPS as the selected source ("#*").
  bool GpsSelected() const;

  // chrony's estimate of true time minus system time, in seconds ("System
  // time" of tracking: positive when the system clock is slow), or nullopt
  // while chronyd has none.
  std::optional<double> EstimatedOffsetSeconds() const;

  // What chronyd has written to its stderr so far.
  std::string Log() const;

 private:
  TempDir dir_;
  std::filesystem::path run_dir_;
  std::filesystem::path config_;
  std::unique_ptr<ChildProcess> chronyd_;
};

// Returns true when chronyd's program and the _chrony user exist.
bool ChronydInstalled();

}  // namespace orvik::testing

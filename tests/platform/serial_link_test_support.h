// Helpers shared by the PosixSerialLink tests on ptys.
#pragma once

#include <sys/ioctl.h>

#include <chrono>

#include "core/port_settings.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace orvik::platform::link_test {

using Clock = std::chrono::steady_clock;
using orvik::testing::PtyPair;
using orvik::testing::TempDir;
using std::chrono::milliseconds;

inline const core::SerialTimeouts kTimeouts4800 =
    core::DefaultTimeoutTable().ForSpeedCode(core::kSpeedCode4800);
inline const core::SerialTimeouts kTimeouts9600 =
    core::DefaultTimeoutTable().ForSpeedCode(core::kSpeedCode9600);

inline long ElapsedMs(Clock::time_point since) {
  return static_cast<long>(std::chrono::duration_cast<milliseconds>(Clock::now() - since).count());
}

inline int Pending(const PtyPair& pty) {
  int pending = -1;
  ::ioctl(pty.SlaveFd(), FIONREAD, &pending);
  return pending;
}

// Waits (bounded) until the slave's input queue holds `n` bytes.
inline bool WaitForPending(const PtyPair& pty, int n) {
  return orvik::testing::WaitUntil([&] { return Pending(pty) >= n; }, milliseconds(1000));
}

}  // namespace orvik::platform::link_test

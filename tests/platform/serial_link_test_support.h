// Helpers shared by the PosixSerialLink tests on ptys.
#pragma once

#include <stdlib.h>
#include <sys/ioctl.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "core/port_settings.h"
#include "fakes/pty_pair.h"

namespace orvik::platform::link_test {

using Clock = std::chrono::steady_clock;
using orvik::testing::PtyPair;
using std::chrono::milliseconds;

inline const core::SerialTimeouts kTimeouts4800 =
    core::DefaultTimeoutTable().ForSpeedCode(core::kSpeedCode4800);
inline const core::SerialTimeouts kTimeouts9600 =
    core::DefaultTimeoutTable().ForSpeedCode(core::kSpeedCode9600);

inline long ElapsedMs(Clock::time_point since) {
  return static_cast<long>(std::chrono::duration_cast<milliseconds>(Clock::now() - since).count());
}

// Waits (bounded) until the slave's input queue holds `n` bytes.
inline bool WaitForPending(const PtyPair& pty, int n) {
  for (int i = 0; i < 200; ++i) {
    int pending = 0;
    if (::ioctl(pty.SlaveFd(), FIONREAD, &pending) == 0 && pending >= n) return true;
    std::this_thread::sleep_for(milliseconds(5));
  }
  return false;
}

inline int Pending(const PtyPair& pty) {
  int pending = -1;
  ::ioctl(pty.SlaveFd(), FIONREAD, &pending);
  return pending;
}

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvik-link-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace orvik::platform::link_test

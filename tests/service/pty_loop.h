// PtyLoop: a real acquisition thread reading "COM2" in a temporary folder,
// linked to a pty that the test drives as the receiver.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>
#include <memory>
#include <string>
#include <system_error>

#include "fakes/pty_pair.h"
#include "fakes/temp_dir.h"
#include "platform/posix_serial_link.h"
#include "service/acquisition_test_support.h"

namespace orvik::testing {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// A receive loop reading "COM2" in a temporary folder, linked to a pty.
class PtyLoop {
 public:
  // Starts the loop at once unless `start` is false (then set up the
  // harness, e.g. other decoders, and call Start()).
  explicit PtyLoop(std::int32_t protocol, bool start = true) {
    harness_.settings().Protocol = protocol;
    harness_.options().working_dir = dir_.path();
    harness_.options().reopen_interval = 200ms;
    Link(pty_);
    if (start) Start();
  }

  void Start() { harness_.Start(std::make_unique<platform::PosixSerialLink>()); }

  void Link(const PtyPair& pty) {
    std::error_code ignored;
    fs::remove(dir_.path() / "COM2", ignored);
    fs::create_symlink(pty.SlavePath(), dir_.path() / "COM2");
  }

  // Sends `probe` until the loop frames it: the loop is then past its
  // start-up purges and reading. Returns the number of probes framed.
  bool WaitUntilReading(const std::string& probe) {
    return WaitUntilReading(probe, [this] { return harness_.decoders().WaitForFrames(1, 50ms); });
  }

  // The same with another sign that the probe arrived; `arrived` may wait a little.
  // Once it has, a pause lets a probe still on its way be handled too, so
  // that nothing of the probing mixes with what the test sends next.
  bool WaitUntilReading(const std::string& probe, const std::function<bool()>& arrived) {
    for (int attempt = 0; attempt < 100; ++attempt) {
      pty_.WriteToMaster(probe);
      if (arrived()) {
        std::this_thread::sleep_for(300ms);
        return true;
      }
    }
    return false;
  }

  PtyPair& pty() { return pty_; }
  AcquisitionHarness& harness() { return harness_; }

 private:
  TempDir dir_;
  PtyPair pty_;
  AcquisitionHarness harness_;
};

}  // namespace orvik::testing

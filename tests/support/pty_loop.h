// PtyLoop: a real acquisition thread reading "COM2" in a temporary folder,
// linked to a pty that the test drives as the receiver. The loop records
// every frame (and hands it on to the harness's other decoders, if any).
//
// A test learns that the loop has handled what it sent from an end mark: a
// message of the protocol that carries a number of its own and that no test
// sends otherwise (it fails its checksum, so real decoders change nothing
// for it but the display). Send() follows the bytes with marks until the
// loop frames one; marks are left out of the frames a test takes.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "core/port_settings.h"
#include "core/settings.h"
#include "platform/posix/posix_serial_link.h"
#include "support/acquisition_harness.h"
#include "support/pty_pair.h"
#include "support/temp_dir.h"

namespace orvik::testing {

class PtyLoop {
 public:
  // Starts the loop at once unless `start` is false (then set up the
  // harness, e.g. other decoders, and call Start()).
  explicit PtyLoop(std::int32_t protocol, bool start = true)
      : nmea_(core::IsNmeaProtocol(protocol)) {
    harness_.settings().Protocol = protocol;
    harness_.options().working_dir = dir_.path();
    harness_.options().reopen_interval = std::chrono::milliseconds(200);
    Link();
    if (start) Start();
  }

  void Start() { harness_.Start(std::make_unique<platform::PosixSerialLink>()); }

  // The receiver is unplugged, and another one plugged in behind "COM2".
  void Replug() {
    pty_->CloseMaster();
    pty_ = std::make_unique<PtyPair>();
    Link();
  }

  // Sends `bytes`, then marks until the loop frames one (a loop that purges
  // its line may drop some); true once it did. With no bytes: true once
  // the loop reads the line.
  bool Send(const std::string& bytes = "") {
    if (!bytes.empty() && !pty_->WriteToMaster(bytes)) return false;
    const std::string mark = Mark(++marks_sent_);
    const std::string framed = nmea_ ? mark.substr(1) : mark;
    std::chrono::milliseconds wait(10);
    for (int attempt = 0; attempt < 100; ++attempt) {
      if (!pty_->WriteToMaster(mark)) return false;
      if (harness_.decoders().WaitForFrame(framed, taken_, wait)) return true;
      wait = std::min(2 * wait, std::chrono::milliseconds(200));
    }
    return false;
  }

  // The frames made since the last call, marks left out.
  std::vector<std::string> TakeFrames() {
    const std::vector<std::string> frames = harness_.decoders().Frames();
    std::vector<std::string> taken;
    for (std::size_t i = taken_; i < frames.size(); ++i) {
      if (!frames[i].starts_with(nmea_ ? "GPTXT,mark," : "@@Hbmark")) taken.push_back(frames[i]);
    }
    taken_ = frames.size();
    return taken;
  }

  PtyPair& pty() { return *pty_; }
  AcquisitionHarness& harness() { return harness_; }

 private:
  // Mark `number`: "$GPTXT,mark,<number>" or an "@@Hb" of the right length
  // whose data begin with "mark<number>", each under a checksum it fails.
  std::string Mark(int number) const {
    const auto wrong_checksum = [](const std::string& covered) {
      std::uint8_t sum = 0xFF;
      for (const char c : covered) sum ^= static_cast<std::uint8_t>(c);
      return sum;
    };
    const std::string text = "mark" + std::to_string(number);
    if (nmea_) {
      const std::string body = "GPTXT,mark," + std::to_string(number);
      char digits[3];
      std::snprintf(digits, sizeof digits, "%02X", wrong_checksum(body));
      return "$" + body + "*" + digits + "\r\n";
    }
    const std::string covered = "Hb" + text + std::string(47 - text.size(), '-');
    return "@@" + covered + static_cast<char>(wrong_checksum(covered)) + "\r\n";
  }

  void Link() {
    std::error_code ignored;
    std::filesystem::remove(dir_.path() / "COM2", ignored);
    std::filesystem::create_symlink(pty_->SlavePath(), dir_.path() / "COM2");
  }

  const bool nmea_;
  TempDir dir_;
  std::unique_ptr<PtyPair> pty_ = std::make_unique<PtyPair>();
  AcquisitionHarness harness_;
  int marks_sent_ = 0;
  std::size_t taken_ = 0;  // frames before this index were taken
};

}  // namespace orvik::testing

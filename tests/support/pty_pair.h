// PtyPair: a pseudo-terminal standing in for a receiver's serial line.
//
// The slave side is the "device" the program opens (SlavePath()); the test
// plays the receiver on the master side: it writes what the receiver sends,
// reads what the program wrote, and closes the master to simulate an
// unplugged receiver. Both sides start in raw mode (no echo, no
// translation). The pair keeps its own slave descriptor open so the master
// stays usable while the program's link opens and closes the slave.
// Threads: one test thread at a time; WriteToMaster() may run in a feeder
// thread while the test thread only holds the object.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "platform/posix/unique_fd.h"

namespace orvik::testing {

class PtyPair {
 public:
  // Opens a new pty pair. Check Ok() before use.
  PtyPair();

  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool Ok() const { return master_.valid() && slave_.valid(); }
  // Path of the slave device, e.g. "/dev/pts/7".
  const std::string& SlavePath() const { return slave_path_; }
  // The pair's own slave descriptor (to inspect or change line settings).
  int SlaveFd() const { return slave_.get(); }

  // Writes all bytes to the master (the program reads them); true on success.
  bool WriteToMaster(std::string_view bytes);
  bool WriteToMaster(std::span<const std::uint8_t> bytes);
  // Reads from the master what the program wrote: returns once `max_bytes`
  // arrived or after `timeout` with what arrived by then.
  std::string ReadFromMaster(std::size_t max_bytes, std::chrono::milliseconds timeout);
  // Closes the master: the program's side of the line hangs up.
  void CloseMaster();
  // Puts the slave in ordinary cooked terminal mode (echo, line editing,
  // CR/LF translation, signals), as a freshly plugged device may be.
  void SetCookedMode();

 private:
  platform::UniqueFd master_;
  platform::UniqueFd slave_;
  std::string slave_path_;
};

}  // namespace orvik::testing

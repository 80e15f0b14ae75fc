// PtyPort: the simulated receiver's serial port. A pseudo-terminal whose
// device (the slave side) is linked as <dir>/COM<n>, so the program under test
// opens it like any COM port; the simulator talks through the master side.
//
// The simulator keeps its own descriptor of the slave side open for its whole
// life: the port then exists and buffers messages before the program opens
// it, and the program closing it is no hang-up on the master side. The same
// descriptor (non-blocking) tells how many bytes still wait for the reader,
// and can read them away.
// One thread uses an object; move-only.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "core/status.h"
#include "platform/posix/unique_fd.h"

namespace orvik::tools {

class PtyPort {
 public:
  // Creates the pty in raw mode (no echo, no line editing, 8 bits), makes the
  // master non-blocking and links the slave's device as <dir>/COM<port_number>.
  // An existing symlink there is replaced; any other existing entry is an error.
  static core::Result<PtyPort> Create(const std::filesystem::path& dir, int port_number);

  PtyPort(PtyPort&& other) noexcept;
  PtyPort& operator=(PtyPort&&) = delete;
  PtyPort(const PtyPort&) = delete;
  PtyPort& operator=(const PtyPort&) = delete;
  // Removes the link, unless it was meanwhile replaced by another target.
  ~PtyPort();

  int master_fd() const { return master_.get(); }
  const std::string& slave_path() const { return slave_path_; }
  const std::filesystem::path& link_path() const { return link_path_; }

  // Returns the number of bytes written but not yet read by the slave side's reader.
  std::size_t QueuedForReader() const;

  // Reads and drops the bytes waiting for the slave side's reader (at most
  // 1 MiB); returns their count.
  std::size_t DiscardQueued() const;

 private:
  PtyPort(platform::UniqueFd master, platform::UniqueFd slave, std::string slave_path,
          std::filesystem::path link_path);

  platform::UniqueFd master_;
  platform::UniqueFd slave_;
  std::string slave_path_;
  std::filesystem::path link_path_;
  bool owns_link_ = false;
};

}  // namespace orvik::tools

// StopSignal: turns SIGINT and SIGTERM into a descriptor that becomes
// readable, so every wait of the simulator (a poll) ends at once on a stop
// request. SIGPIPE is ignored while it is installed, so a closed stdout pipe
// cannot kill the simulator before it removes its link. One object per
// process, created and used by the main thread only.
#pragma once

#include "core/status.h"
#include "platform/posix/unique_fd.h"

namespace orvik::tools {

class StopSignal {
 public:
  // Installs the handlers. Fails when another StopSignal is installed.
  static core::Result<StopSignal> Install();

  StopSignal(StopSignal&& other) noexcept;
  StopSignal& operator=(StopSignal&&) = delete;
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;
  // Restores the default handlers.
  ~StopSignal();

  // Readable once a stop was requested (for poll()).
  int fd() const { return read_end_.get(); }

  // Returns true once SIGINT or SIGTERM has arrived. Never blocks.
  bool requested() const;

 private:
  StopSignal(platform::UniqueFd read_end, platform::UniqueFd write_end);

  platform::UniqueFd read_end_;
  platform::UniqueFd write_end_;
  bool installed_ = false;
};

}  // namespace orvik::tools

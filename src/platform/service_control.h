// ServiceControl: the system's time service of this program (on Windows the
// service "OrvikGpsTime", which keeps the clock with nobody logged on) as
// the desktop program sees it: whether it runs, and restarting it so that
// it reads its edited settings. Any thread, one call at a time.
#pragma once

#include "core/status.h"

namespace orvik::platform {

enum class TimeServiceState {
  kNotInstalled,  // no such service (or the system would not say)
  kStopped,       // installed, not running
  kRunning,       // running, or starting, or continuing after a pause
};

class ServiceControl {
 public:
  virtual ~ServiceControl() = default;

  virtual TimeServiceState State() = 0;
  // Stops the service (waiting a bounded time for it to stop) and starts it
  // again. Fails with the system's reason; the user's lack of the right to
  // control it fails with kServiceAccessDenied's text.
  virtual core::Status Restart() = 0;
};

// The message of a restart the user has no right to.
inline constexpr const char* kServiceAccessDenied =
    "Restarting the Orvik GPS Time service needs administrator rights";

}  // namespace orvik::platform

// WindowsTimeServiceQuery: asks the machine about its Windows Time service
// (w32time), another program that may set the same clock. Main thread.
#pragma once

#include "core/windows_time_notice.h"

namespace orvik::platform {

class WindowsTimeServiceQuery {
 public:
  virtual ~WindowsTimeServiceQuery() = default;

  // Whether the service runs, and its sync type and servers as configured.
  // Whatever cannot be read is reported as absent (not running, "").
  virtual core::WindowsTimeServiceFacts Read() const = 0;
};

}  // namespace orvik::platform

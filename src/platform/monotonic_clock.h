// MonotonicClock: the one way the program reads elapsed time. The serial
// link stamps the arrival of received bytes with it, and the acquisition and
// the service measure every pause and age on it, so a test can hand all of
// them one fake clock and move it on without sleeping.
#pragma once

#include "core/utc_time.h"

namespace orvik::platform {

class MonotonicClock {
 public:
  virtual ~MonotonicClock() = default;

  // The current monotonic time (arbitrary origin; never goes back).
  virtual core::MonotonicNanos NowMonotonic() const = 0;
};

// The machine's monotonic clock (CLOCK_MONOTONIC; the performance counter on
// Windows). It has no state; any thread.
const MonotonicClock& MachineMonotonicClock();

}  // namespace orvik::platform

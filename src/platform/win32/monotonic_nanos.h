// The monotonic clock of the Windows build: QueryPerformanceCounter in
// nanoseconds, behind MachineMonotonicClock() (platform/monotonic_clock.h).
// Any thread.
#pragma once

#include "core/utc_time.h"

namespace orvik::platform {

core::MonotonicNanos Win32MonotonicNanos();

}  // namespace orvik::platform

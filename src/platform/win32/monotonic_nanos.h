// The monotonic clock of the Windows build: QueryPerformanceCounter in
// nanoseconds. The serial link stamps arrivals with it and the system clock
// reports it, so elapsed times can be measured across both. Any thread.
#pragma once

#include "core/utc_time.h"

namespace orvik::platform {

core::MonotonicNanos Win32MonotonicNanos();

}  // namespace orvik::platform

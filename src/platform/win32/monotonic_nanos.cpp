#include "platform/win32/monotonic_nanos.h"

#include <windows.h>

namespace orvik::platform {

core::MonotonicNanos Win32MonotonicNanos() {
  LARGE_INTEGER frequency{};
  LARGE_INTEGER counter{};
  ::QueryPerformanceFrequency(&frequency);  // never fails since Windows XP
  ::QueryPerformanceCounter(&counter);
  const std::int64_t ticks = counter.QuadPart;
  const std::int64_t per_second = frequency.QuadPart > 0 ? frequency.QuadPart : 1;
  // Split so that ticks * 1e9 cannot overflow after a long uptime.
  return ticks / per_second * core::kNanosPerSecond +
         ticks % per_second * core::kNanosPerSecond / per_second;
}

}  // namespace orvik::platform

#include "platform/monotonic_clock.h"
#include "platform/win32/monotonic_nanos.h"

namespace orvik::platform {
namespace {

class Win32MonotonicClock final : public MonotonicClock {
 public:
  core::MonotonicNanos NowMonotonic() const override { return Win32MonotonicNanos(); }
};

}  // namespace

const MonotonicClock& MachineMonotonicClock() {
  static const Win32MonotonicClock kClock;
  return kClock;
}

}  // namespace orvik::platform

#include <time.h>

#include "platform/monotonic_clock.h"

namespace orvik::platform {
namespace {

class PosixMonotonicClock final : public MonotonicClock {
 public:
  core::MonotonicNanos NowMonotonic() const override {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * core::kNanosPerSecond + now.tv_nsec;
  }
};

}  // namespace

const MonotonicClock& MachineMonotonicClock() {
  static const PosixMonotonicClock kClock;
  return kClock;
}

}  // namespace orvik::platform

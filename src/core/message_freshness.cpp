#include "core/message_freshness.h"

namespace orvik::core {

std::optional<MonotonicNanos> FreshnessCheck::Check(const ByteTiming& timing) {
  const bool first_of_burst = last_burst_ != timing.burst;
  last_burst_ = timing.burst;
  if (!first_of_burst || !timing.burst_start) return std::nullopt;
  if (timing.arrival - *timing.burst_start > kMaxBurstNanos) return std::nullopt;
  return timing.burst_start;
}

}  // namespace orvik::core

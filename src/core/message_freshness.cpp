#include "core/message_freshness.h"

namespace orvik::core {

std::optional<MonotonicNanos> FreshnessCheck::Check(UtcNanos message_utc, const ByteTiming& timing,
                                                    std::int64_t receiver_delay_nanos) {
  if (!timing.burst_start || timing.arrival - *timing.burst_start > kMaxBurstNanos) {
    return std::nullopt;
  }
  const Sample current{message_utc, *timing.burst_start - receiver_delay_nanos};
  const std::optional<Sample> previous = previous_;
  previous_ = current;  // a genuine step of the receiver's time is followed from here on
  if (previous) {
    const std::int64_t disagreement =
        (current.utc - previous->utc) - (current.reference - previous->reference);
    if (disagreement > kMaxDisagreementNanos || disagreement < -kMaxDisagreementNanos) {
      return std::nullopt;
    }
  }
  return current.reference;
}

}  // namespace orvik::core

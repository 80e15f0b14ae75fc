// FreshnessCheck: may this time message set the clock?
//
// A message sets the clock only when its second can be tied to the
// monotonic clock as it happened:
//   1. the start of its burst was seen live (see BurstTracker): bytes that
//      were already waiting after a stall have no known reference;
//   2. the message was read within kMaxBurstNanos of that start, so it
//      cannot belong to a later second whose start went unseen;
//   3. its time advances with the monotonic clock since the previous such
//      message, within kMaxDisagreementNanos: a receiver replaying its
//      buffer, or a backlog that slipped through, disagrees by seconds.
// The reference instant of a fresh message is its burst start less the
// receiver's own delay: the monotonic instant at which the message's second
// began. Pure; used by one thread at a time.
#pragma once

#include <cstdint>
#include <optional>

#include "core/burst_tracker.h"
#include "core/utc_time.h"

namespace orvik::core {

inline constexpr std::int64_t kMaxBurstNanos = 1'100 * kNanosPerMilli;
inline constexpr std::int64_t kMaxDisagreementNanos = 500 * kNanosPerMilli;

class FreshnessCheck {
 public:
  // Returns the reference instant of the message that names `message_utc`
  // and arrived with `timing`, or nullopt when it must not set the clock.
  // `receiver_delay_nanos`: how late the receiver's output starts.
  std::optional<MonotonicNanos> Check(UtcNanos message_utc, const ByteTiming& timing,
                                      std::int64_t receiver_delay_nanos);

 private:
  struct Sample {
    UtcNanos utc;
    MonotonicNanos reference;
  };
  std::optional<Sample> previous_;
};

}  // namespace orvik::core

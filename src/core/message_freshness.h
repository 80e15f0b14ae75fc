// FreshnessCheck: may this time message be timed by the start of its burst?
//
// A time message's second is tied to the monotonic clock only when
//   1. the start of its burst was seen live (see BurstTracker): bytes that
//      were already waiting after a stall have no known reference;
//   2. the message was read within kMaxBurstNanos of that start, so it
//      cannot belong to a later second whose start went unseen;
//   3. it is the first time message of its burst. A receiver that sends
//      several time messages a second, or bursts closer together than the
//      silence that separates them, puts later time messages into a burst
//      that began for an earlier one: they would take that start as their
//      own and set the clock up to a second ahead.
// Every time message, fresh or not, counts as one of its burst.
// Pure; used by one thread at a time.
#pragma once

#include <cstdint>
#include <optional>

#include "core/burst_tracker.h"
#include "core/utc_time.h"

namespace orvik::core {

inline constexpr std::int64_t kMaxBurstNanos = 1'100 * kNanosPerMilli;

class FreshnessCheck {
 public:
  // A time message arrived with `timing`: returns the start of its burst
  // when that is its reference, else nullopt.
  std::optional<MonotonicNanos> Check(const ByteTiming& timing);
  // A new line: no burst has had its time message yet.
  void Restart() { last_burst_.reset(); }

 private:
  // The burst of the latest time message.
  std::optional<std::uint64_t> last_burst_;
};

}  // namespace orvik::core

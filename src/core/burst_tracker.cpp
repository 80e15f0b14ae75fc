#include "core/burst_tracker.h"

#include <algorithm>

namespace orvik::core {

std::int64_t CharacterNanos(std::uint32_t baud) {
  return baud == 0 ? 0 : 10 * kNanosPerSecond / static_cast<std::int64_t>(baud);
}

BurstTracker::BurstTracker(std::int64_t character)
    : character_(character), silence_(std::max<std::int64_t>(12 * character, 25 * kNanosPerMilli)) {}

void BurstTracker::Restart(MonotonicNanos at) {
  last_arrival_ = at;
  latest_ = ByteTiming{std::nullopt, at};
}

void BurstTracker::OnChunk(std::size_t count, MonotonicNanos at, bool prompt) {
  if (count == 0) return;
  const std::int64_t line_time = static_cast<std::int64_t>(count - 1) * character_;
  const MonotonicNanos first_done = at - line_time;
  if (prompt && count <= kMaxPromptChunk) {
    if (first_done - last_arrival_ >= silence_) latest_.burst_start = first_done - character_;
  } else if (at - last_arrival_ >= silence_ + line_time) {
    // The bytes came at some time since the previous read: a silence may
    // hide among them, so which burst they belong to is not known.
    latest_.burst_start.reset();
  }
  latest_.arrival = at;
  last_arrival_ = at;
}

}  // namespace orvik::core

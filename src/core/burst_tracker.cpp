#include "core/burst_tracker.h"

#include <algorithm>

namespace orvik::core {

std::int64_t CharacterNanos(std::uint32_t baud) {
  return baud == 0 ? 0 : 10 * kNanosPerSecond / static_cast<std::int64_t>(baud);
}

BurstTracker::BurstTracker(std::int64_t character)
    : character_(character),
      silence_(std::max<std::int64_t>(12 * character, 25 * kNanosPerMilli)) {}

void BurstTracker::NewBurst(std::optional<MonotonicNanos> start, MonotonicNanos unbroken_since) {
  ++latest_.burst;
  latest_.burst_start = start;
  latest_.unbroken_since = unbroken_since;
}

void BurstTracker::Restart(MonotonicNanos at) {
  last_arrival_ = at;
  NewBurst(std::nullopt, at);
  latest_.arrival = at;
}

void BurstTracker::OnChunk(std::size_t count, MonotonicNanos at, bool prompt) {
  if (count == 0) return;
  const std::int64_t line_time = static_cast<std::int64_t>(count - 1) * character_;
  const MonotonicNanos first_done = at - line_time;
  if (prompt && count <= kMaxPromptChunk) {
    if (first_done - last_arrival_ >= silence_) {
      const MonotonicNanos start = first_done - character_;
      NewBurst(start, start);
    }
  } else if (at - last_arrival_ >= silence_ + line_time) {
    // The bytes came at some time since the previous read: a silence may
    // hide among them, so which burst they belong to is not known.
    NewBurst(std::nullopt, at);
  }
  latest_.arrival = at;
  last_arrival_ = at;
}

}  // namespace orvik::core

#include "core/receiver_timeline.h"

#include <algorithm>
#include <cstdlib>

namespace orvik::core {

std::int64_t ReceiverTimeline::EarliestPhase() const {
  return std::min_element(window_.begin(), window_.end(),
                          [](const Entry& a, const Entry& b) { return a.phase < b.phase; })
      ->phase;
}

ReceiverTimeline::Verdict ReceiverTimeline::Use(UtcNanos utc, MonotonicNanos reference,
                                                std::int64_t phase, MonotonicNanos arrival) {
  window_.push_back({reference, phase});
  if (window_.size() > kMaxEntries) window_.pop_front();
  Verdict verdict;
  verdict.use = true;
  verdict.second_began = utc + EarliestPhase();
  age_ = arrival - verdict.second_began;
  last_arrival_ = arrival;
  return verdict;
}

ReceiverTimeline::Verdict ReceiverTimeline::OnFresh(UtcNanos utc, MonotonicNanos reference,
                                                    MonotonicNanos arrival) {
  const std::int64_t phase = reference - utc;
  if (window_.empty()) return Use(utc, reference, phase, arrival);
  // Older messages leave the window; the newest always stays: it is the timeline.
  while (window_.size() > 1 && window_.front().reference < reference - kWindowNanos) {
    window_.pop_front();
  }
  const std::int64_t earliest = EarliestPhase();
  const std::int64_t since = std::max<std::int64_t>(0, reference - window_.back().reference);
  if (std::llabs(phase - earliest) <= kDisagreementNanos + since / kDriftDivisor) {
    candidate_.reset();
    return Use(utc, reference, phase, arrival);
  }
  // The receiver's time disagrees: held until it agrees with itself long enough.
  if (candidate_ && std::llabs(phase - candidate_->phase) <= kDisagreementNanos) {
    ++candidate_->messages;
    candidate_->phase = std::min(candidate_->phase, phase);
  } else {
    candidate_ = Candidate{phase, 1};
  }
  if (candidate_->messages < kJumpHoldMessages) return {};
  const std::int64_t jump = earliest - candidate_->phase;
  window_.clear();
  const Candidate followed = *candidate_;
  candidate_.reset();
  Verdict verdict = Use(utc, reference, followed.phase, arrival);
  verdict.jump_nanos = jump;
  return verdict;
}

bool ReceiverTimeline::Lags(UtcNanos utc, MonotonicNanos arrival) const {
  if (window_.empty()) return false;
  const MonotonicNanos expected = utc + EarliestPhase() + age_;
  const std::int64_t since = std::max<std::int64_t>(0, arrival - last_arrival_);
  return arrival - expected > kMaxLagNanos + since / kDriftDivisor;
}

void ReceiverTimeline::Reset() {
  window_.clear();
  candidate_.reset();
  age_ = 0;
  last_arrival_ = 0;
}

}  // namespace orvik::core

// ReceiverTimeline: where the receiver's seconds begin on the monotonic
// clock, learned from its fresh time messages (core/message_freshness.h),
// and whether a message's time can be trusted.
//
// Phase: a fresh message that names `utc` and whose second began at the
// monotonic instant `reference` (its burst start less the receiver's fixed
// delay) has the phase reference - utc. A steady receiver gives every
// message the same phase plus its own jitter: it starts a second's output a
// few to 100 ms after the second, never before it. So the earliest phase of
// the fresh messages of the last kWindowNanos is the best estimate of where
// the receiver's seconds begin, and it is what every message on the
// timeline is timed by.
//
// A jump: a fresh message whose phase lies more than kDisagreementNanos
// from that estimate (plus 1 ms for every second since the timeline's
// latest message, the most a PC oscillator drifts) disagrees: the
// receiver's time jumped, or glitched. It is not used. Only when
// kJumpHoldMessages consecutive fresh messages agree on the new time is it
// followed: the window starts anew from them, and the jump is reported once.
//
// Lag: a message that is not fresh (read out of a backlog, or not the first
// time message of its burst) should be read about as long after its second
// began as the latest used fresh message was. One read more than
// kMaxLagNanos later than that is the past: it must not reach a client as
// the current time.
//
// Pure; used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>

#include "core/utc_time.h"

namespace orvik::core {

class ReceiverTimeline {
 public:
  static constexpr std::int64_t kWindowNanos = 16 * kNanosPerSecond;
  static constexpr std::int64_t kDisagreementNanos = 500 * kNanosPerMilli;
  static constexpr int kJumpHoldMessages = 10;
  static constexpr std::int64_t kMaxLagNanos = kNanosPerSecond;
  // The drift allowed between the PC's monotonic clock and the receiver:
  // one part in this many (1 ms a second).
  static constexpr std::int64_t kDriftDivisor = 1000;

  struct Verdict {
    // The message may set the clock (or be handed to chrony).
    bool use = false;
    // When `use`: the monotonic instant the message's second began, by the
    // timeline's estimate.
    MonotonicNanos second_began = 0;
    // The receiver's time moved by this much (message time minus the time
    // the old timeline predicted) and is followed from this message on.
    std::optional<std::int64_t> jump_nanos;
  };

  // A fresh message naming `utc`, whose second began at `reference`, read
  // at `arrival`.
  Verdict OnFresh(UtcNanos utc, MonotonicNanos reference, MonotonicNanos arrival);
  // True when a message that is not fresh, naming `utc` and read at
  // `arrival`, lags the timeline by more than kMaxLagNanos. Without a
  // timeline nothing lags.
  bool Lags(UtcNanos utc, MonotonicNanos arrival) const;
  // A new line or receiver: the timeline is learned anew.
  void Reset();

 private:
  struct Entry {
    MonotonicNanos reference;
    std::int64_t phase;
  };
  struct Candidate {
    std::int64_t phase;  // the earliest of its messages
    int messages;
  };
  // More entries than a 10 Hz receiver fills the window with are dropped.
  static constexpr std::size_t kMaxEntries = 256;

  std::int64_t EarliestPhase() const;
  Verdict Use(UtcNanos utc, MonotonicNanos reference, std::int64_t phase, MonotonicNanos arrival);

  std::deque<Entry> window_;  // by reference; never empty once a timeline exists
  std::optional<Candidate> candidate_;
  // Of the latest used message: how long after its second it was read, and when.
  std::int64_t age_ = 0;
  MonotonicNanos last_arrival_ = 0;
};

}  // namespace orvik::core

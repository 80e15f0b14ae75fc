// The clock decision: when, and to what, the PC clock is set from the
// receiver's time. Pure; called by the decoders in the acquisition thread,
// which own MessageCounter and their reading of the PC clock.
//
// MessageCounter counts accepted time messages since the clock was last set
// or considered. It starts at kInitialMessageCounter, so the first message
// that reaches the decision passes the interval and sets the clock at once;
// afterwards every (ClockUpdateInterval + 1)-th message does. The decoder
// steps the counter with StepMessageCounter before the decision: on the NMEA
// path for every "GPRMC" with a good checksum, while only one with a valid
// fix reaches UpdatePcClock; on the Motorola path for every message.
//
// A message time that is no real date and time (month 13, second 60, the 31st
// of April, year 0, ...) never sets the clock: the decision is no and the
// counter is left as it was, so the next good message sets the clock at once
// when the interval has passed meanwhile.
#pragma once

#include <cstdint>

#include "core/date_time.h"
#include "core/settings.h"
#include "core/utc_time.h"

namespace orvik::core {

// MessageCounter at program start: two below 2^32, so the first counted
// message lifts it past any interval. It is not reset by a restart.
inline constexpr std::uint32_t kInitialMessageCounter = 4294967294u;

// Counts one accepted time message. The count stops at its largest value
// instead of wrapping to 0, so the first valid fix after program start sets
// the clock even when invalid fixes came before it.
inline void StepMessageCounter(std::uint32_t& MessageCounter) {
  if (MessageCounter != UINT32_MAX) ++MessageCounter;
}

// The protocol family of a time message.
enum class ClockPath { kNmea, kMotorola };

// A decoded time message that may set the clock, as the decoder leaves it
// for the clock decision (which runs where the message's timing is known).
struct ClockCandidate {
  // The instant the message names (its second, with any fraction it gives).
  UtcNanos message_utc = 0;
  // How far the message's local time is ahead of UTC, in minutes.
  std::int64_t local_offset_minutes = 0;
  ClockPath path = ClockPath::kNmea;

  // The message's local date and time, whole seconds.
  DateTime Local() const;

  friend bool operator==(const ClockCandidate&, const ClockCandidate&) = default;
};

struct ClockDecision {
  // True when the caller must set the PC clock to SetTime now.
  bool set_clock = false;
  // The local second the clock is set to; the time elapsed since that
  // second began is added when the clock is set, so the millisecond is 0.
  // Composed for every valid message whatever the decision; all zero for an
  // invalid one.
  DateTime SetTime;
};

// Decides whether to set the PC clock from `message_local` (the message's
// local date and time) and composes SetTime. When the interval has passed
// (ClockUpdateInterval < MessageCounter) the decision is yes and the counter
// restarts at 0; with OnlyMinSec the decision turns to no while the PC's
// minute is 0, 1 or 59, and the counter restarts all the same.
// SetTime: OnlyMinSec off: date, hour, minute, second of the message.
// OnlyMinSec on: year, month, day, hour of `pc_now`, minute and second of the
// message. The millisecond is 0 on both paths. `pc_now` is the caller's
// reading of the PC clock in the program's local time, taken just before.
ClockDecision UpdatePcClock(std::uint32_t& MessageCounter, const Settings& settings,
                            const DateTime& message_local, const DateTime& pc_now);

}  // namespace orvik::core

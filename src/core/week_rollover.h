// GPS week rollover: the GPS week number counts to 1024 and starts again, so
// a receiver that does not know which era it is in reports a date a whole
// number of 1024-week eras (about 19.6 years each) in the past. Such a date
// lies before the day the program was built; adding back the eras that
// bring it into the years the program may set, close to what the PC clock
// says (within 30 days of it), recovers the real date: a receiver whose
// week counter rolled over reports exactly its eras back. A receiver merely
// replaying old output (or a capture replayed) is not moved into the
// future: its date, corrected, would lie months or years from the PC clock.
// A PC clock that is more than 30 days wrong leaves such a date uncorrected,
// and then it sets nothing.
// Pure; any thread.
#pragma once

#include "core/utc_time.h"

namespace orvik::core {

inline constexpr std::int64_t kGpsWeekEraNanos = 1024LL * 7 * 86'400 * kNanosPerSecond;
inline constexpr int kMaxRolloverEras = 3;
// How close to the PC clock a corrected date must lie.
inline constexpr std::int64_t kRolloverPcWindowNanos = 30LL * 86'400 * kNanosPerSecond;

// What a receiver's date is judged against.
struct RolloverCheck {
  // The years the program may set the clock to.
  SettableSpan settable;
  // The PC clock now (UTC).
  UtcNanos pc_now = 0;
};

// The number of eras (1 to kMaxRolloverEras) that, added to `instant` (a
// date before the settable span), bring it into the span and within
// kRolloverPcWindowNanos of the PC clock; 0 when the instant needs no
// correction or none fits.
int RolloverEras(UtcNanos instant, const RolloverCheck& check);

}  // namespace orvik::core

// The two receiver commands the operator (and the program itself) can give:
// the GMT offset and the transmission interval. Each composes its command and
// leaves it in the shared hand-over; the acquisition thread writes it to the
// port at its next send step. A command composed while no acquisition thread
// runs is dropped when the next one starts; a second command composed before
// the first was sent replaces it.
//
// Threads: main thread only (menu handlers, the start-up sequence and the
// summer/zone switch call them). They touch the shared state only through
// its atomics and the command hand-over, so the acquisition thread may run.
#pragma once

#include "core/date_time.h"
#include "core/settings.h"
#include "core/status.h"
#include "platform/system_clock.h"
#include "service/shared_state.h"

namespace orvik::service {

// Evaluates the summer rule on `PcNow` (the main thread's latest reading of
// the program's local time; not read again for the rule), stores the result
// in `SummerInEffect` and the program's local offset in
// shared.LocalOffsetMinutes. Then, by protocol: NMEA stores the summer hour
// in shared.SummerHours and sends nothing; M12 reads `clock` once more and
// composes "@@Gb" from that reading (in the new local time); Oncore composes
// "@@Ab". Returns the
// reason when the command cannot carry the settings (nothing is composed
// then, and a pending command stays as it was); ok otherwise.
core::Status GMT_offsetClick(const core::Settings& settings, const core::DateTime& PcNow,
                             platform::SystemClock& clock, SharedState& shared,
                             bool& SummerInEffect);

// Composes the transmission interval command for the protocol ("$PGRMC1",
// "@@Hb" or "@@Ea") into the hand-over. Returns the reason when the interval
// cannot be carried (nothing is composed then); ok otherwise.
core::Status Continuous_1sClick(const core::Settings& settings, SharedState& shared);

}  // namespace orvik::service

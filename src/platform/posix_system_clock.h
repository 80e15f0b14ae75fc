// PosixSystemClock: the PC's local time, read from and written to the
// real-time clock through the process's time zone. This is the only code that
// reads or sets the real clock. Any thread may call it; setting needs
// CAP_SYS_TIME in the effective set of the calling thread.
#pragma once

#include <time.h>

#include <optional>

#include "core/date_time.h"
#include "core/status.h"
#include "platform/system_clock.h"

namespace orvik::platform {

// Returns the real-time instant of the local date-time `local` under the
// process's time zone (summer time decided by the zone's rules; a time inside
// a skipped hour is moved on by the C library), or nullopt when `local` is no
// valid date and time of day or the C library cannot represent it. The day of
// week is ignored. Pure apart from reading the time zone.
std::optional<timespec> LocalTimeToTimespec(const core::DateTime& local);

class PosixSystemClock : public SystemClock {
 public:
  // Returns the current local date and time, to the millisecond.
  core::DateTime Now() const override;

  // Sets CLOCK_REALTIME to `local`, to the millisecond. Refuses an invalid
  // date-time with kInvalidArgument; a refusal by the system (no privilege)
  // gives kIoError with the system's reason.
  core::Status SetLocalTime(const core::DateTime& local) override;
};

}  // namespace orvik::platform

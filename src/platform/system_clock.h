// SystemClock: the only way the program reads and sets the PC clock.
//
// The clock is read and set in UTC; the program forms its own local time
// from UTC and the configured offset (core/utc_time.h), so the machine's time
// zone never shifts what is set. Elapsed time is read from the monotonic
// clock beside it (platform/monotonic_clock.h). The POSIX implementation is
// the single file that touches the real clock; tests use a fake.
#pragma once

#include <cstdint>

#include "core/status.h"
#include "core/utc_time.h"

namespace orvik::platform {

class SystemClock {
 public:
  virtual ~SystemClock() = default;

  // The current real time (UTC).
  virtual core::UtcNanos NowUtc() const = 0;
  // Sets the real time. Fails without the time privilege, with a short
  // reason for the operator ("no time privilege").
  virtual core::Status SetUtc(core::UtcNanos instant) = 0;
  // Minutes the machine's own time zone is ahead of UTC at `at`; only told
  // to the operator, never used for the time the program keeps.
  virtual std::int64_t MachineZoneOffsetMinutes(core::UtcNanos at) const = 0;
};

}  // namespace orvik::platform

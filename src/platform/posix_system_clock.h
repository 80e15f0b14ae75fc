// PosixSystemClock: the PC's local time, read from the real-time clock and
// the process's time zone. Reads only; it never changes the clock.
// Any thread may call it.
#pragma once

#include "core/date_time.h"
#include "platform/system_clock.h"

namespace orvik::platform {

class PosixSystemClock : public SystemClock {
 public:
  // Returns the current local date and time, to the millisecond.
  core::DateTime Now() const override;
};

}  // namespace orvik::platform

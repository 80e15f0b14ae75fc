// PosixSystemClock: CLOCK_REALTIME read and set in UTC.
// This is the only code that sets the real clock. Any thread may call it;
// setting needs CAP_SYS_TIME in the effective set of the calling thread.
#pragma once

#include "platform/system_clock.h"

namespace orvik::platform {

class PosixSystemClock : public SystemClock {
 public:
  core::UtcNanos NowUtc() const override;
  // A refusal by the system gives kIoError with the reason: "no time
  // privilege" for EPERM, else "error <errno>".
  core::Status SetUtc(core::UtcNanos instant) override;
  // From the process's time zone (TZ, /etc/localtime).
  std::int64_t MachineZoneOffsetMinutes(core::UtcNanos at) const override;
};

}  // namespace orvik::platform

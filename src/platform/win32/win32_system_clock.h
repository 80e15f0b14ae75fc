// Win32SystemClock: the Windows system time read and set in UTC
// (GetSystemTimePreciseAsFileTime, SetSystemTime). This is the only code of the Windows build
// that sets the real clock. Any thread may call it; setting needs the
// SeSystemtimePrivilege enabled in the process token (Win32TimePrivilege).
#pragma once

#include "platform/system_clock.h"

namespace orvik::platform {

class Win32SystemClock : public SystemClock {
 public:
  core::UtcNanos NowUtc() const override;
  // Sets the time to the millisecond nearest `instant` (the resolution of
  // SetSystemTime). A refusal gives kIoError with the reason: "no time
  // privilege" for ERROR_PRIVILEGE_NOT_HELD, else "error <code>".
  core::Status SetUtc(core::UtcNanos instant) override;
  // From the machine's time zone and its daylight-saving rule for the year
  // of `at`.
  std::int64_t MachineZoneOffsetMinutes(core::UtcNanos at) const override;
};

}  // namespace orvik::platform

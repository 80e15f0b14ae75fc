// SystemClock: the only way the program reads and sets the PC's local time.
// The POSIX implementation is the single file that touches the real clock;
// tests use a fake.
#pragma once

#include "core/date_time.h"
#include "core/status.h"

namespace orvik::platform {

class SystemClock {
 public:
  virtual ~SystemClock() = default;

  // Returns the PC's current local date and time.
  virtual core::DateTime Now() const = 0;

  // Sets the PC clock to a local date and time; the day of week is ignored.
  // Fails without the time privilege.
  virtual core::Status SetLocalTime(const core::DateTime& local) = 0;
};

}  // namespace orvik::platform

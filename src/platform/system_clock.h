// SystemClock: the only way the program reads (and, later, sets) the PC's
// local time. The POSIX implementation is the single file that touches the
// real clock; tests use a fake.
#pragma once

#include "core/date_time.h"

namespace orvik::platform {

class SystemClock {
 public:
  virtual ~SystemClock() = default;

  // Returns the PC's current local date and time.
  virtual core::DateTime Now() const = 0;
};

}  // namespace orvik::platform

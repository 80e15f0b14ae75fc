// SystemEventLog: the system's own log of events (on Windows the event log
// an administrator reads in the Event Viewer), where a service tells its
// start, its stop and its errors. Any thread.
#pragma once

#include <string_view>

namespace orvik::platform {

enum class EventSeverity { kInformation, kWarning, kError };

class SystemEventLog {
 public:
  virtual ~SystemEventLog() = default;

  // Writes one event with `text`; a failure is silent (the program's own
  // log and its status lines still tell).
  virtual void Write(EventSeverity severity, std::string_view text) = 0;
};

}  // namespace orvik::platform

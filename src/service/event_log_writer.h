// EventLogWriter: where the acquisition writes its event lines ("Start",
// "Stop", clock settings). Implementations serialise concurrent callers so
// that no line is lost. Any thread.
#pragma once

#include <string_view>

namespace orvik::service {

class EventLogWriter {
 public:
  virtual ~EventLogWriter() = default;

  // Appends one line to the event log. Failures are not reported.
  virtual void WriteLog(std::string_view line) = 0;
};

}  // namespace orvik::service

// Win32ThreadPriority: the Windows levels of ThreadPriority. The raised level
// is THREAD_PRIORITY_TIME_CRITICAL, the top of the process's normal range,
// which any process may give its own threads. There is no real-time level
// here: it would take the whole process into the real-time priority class,
// above the system's own input handling.
#pragma once

#include <optional>
#include <string>

#include "platform/thread_priority.h"

namespace orvik::platform {

class Win32ThreadPriority : public ThreadPriority {
 public:
  // Nothing to switch on: a thread's own priority needs no privilege.
  void EnablePriorityRights() override {}
  // Always nullopt.
  std::optional<std::string> RaiseToRealTime() override { return std::nullopt; }
  std::optional<std::string> RaiseWithinNormal() override;
};

}  // namespace orvik::platform

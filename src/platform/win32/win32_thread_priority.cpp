#include "platform/win32/win32_thread_priority.h"

#include <windows.h>

namespace orvik::platform {

std::optional<std::string> Win32ThreadPriority::RaiseWithinNormal() {
  if (!::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL)) {
    return std::nullopt;
  }
  return "raised priority (time critical)";
}

}  // namespace orvik::platform

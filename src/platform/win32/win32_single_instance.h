// Win32SingleInstance: one time server per PC. The object holds a named
// mutex for its lifetime; a second copy (console program or service, in any
// session) finds the name taken and ends. Any thread.
#pragma once

#include "platform/win32/unique_handle.h"

namespace orvik::platform {

class Win32SingleInstance {
 public:
  // The name held by whichever copy serves TCP port 1609 and reads the
  // receiver (the console program, the service, the desktop program).
  static constexpr wchar_t kServerName[] = L"Global\\OrvikGpsTimeServer";

  explicit Win32SingleInstance(const wchar_t* name = kServerName);

  // True when no other copy held the name when this object was made.
  bool first() const { return first_; }

 private:
  UniqueHandle mutex_;
  bool first_ = false;
};

}  // namespace orvik::platform

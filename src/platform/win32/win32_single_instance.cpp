#include "platform/win32/win32_single_instance.h"

#include <windows.h>

namespace orvik::platform {

Win32SingleInstance::Win32SingleInstance(const wchar_t* name) {
  const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name);
  const DWORD error = ::GetLastError();
  mutex_.reset(mutex);
  // A name made by a copy under another account (the service's) may refuse
  // this one access: that copy is running all the same.
  first_ = mutex != nullptr && error != ERROR_ALREADY_EXISTS;
}

}  // namespace orvik::platform

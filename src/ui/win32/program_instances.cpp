#include "ui/win32/program_instances.h"

#include "ui/win32/tray_owner.h"

namespace orvik::ui::win32 {

UINT ShowStatusWindowMessage() {
  return ::RegisterWindowMessageW(L"OrvikGpsTime.ShowStatusWindow");
}

bool BringFirstCopyForward() {
  const HWND first = ::FindWindowW(kMainWindowClass, nullptr);
  if (first == nullptr) return false;
  DWORD process = 0;
  ::GetWindowThreadProcessId(first, &process);
  // Only the foreground program may hand the foreground on.
  ::AllowSetForegroundWindow(process);
  return ::PostMessageW(first, ShowStatusWindowMessage(), 0, 0) != 0;
}

}  // namespace orvik::ui::win32

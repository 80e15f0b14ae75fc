#include "ui/win32/program_icon.h"

// after windows.h
#include <commctrl.h>

#include "ui/win32/resource_ids.h"

namespace orvik::ui::win32 {

HICON LoadNotificationIcon() {
  HICON icon = nullptr;
  if (FAILED(::LoadIconMetric(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ORVIK_PROGRAM_ICON),
                              LIM_SMALL, &icon))) {
    return nullptr;
  }
  return icon;
}

HICON ProgramIconFor(UINT dpi, bool small) {
  const int size = ::GetSystemMetricsForDpi(small ? SM_CXSMICON : SM_CXICON, dpi);
  // LR_SHARED: the system keeps one copy per size for the program's life.
  const auto icon = static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                    MAKEINTRESOURCEW(ORVIK_PROGRAM_ICON),
                                                    IMAGE_ICON, size, size, LR_SHARED));
  return icon != nullptr ? icon : ::LoadIconW(nullptr, IDI_APPLICATION);
}

}  // namespace orvik::ui::win32

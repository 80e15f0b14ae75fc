// The program's icon, from its resources (a clock face with green signal
// arcs, in every size from 16 to 256 pixels): for the notification area in
// the size Windows asks for there, and for the windows' title bars and the
// taskbar in the sizes of a window's DPI.
#pragma once

#include <windows.h>

namespace orvik::ui::win32 {

// Owns an icon handle and destroys it once.
class UniqueIcon {
 public:
  explicit UniqueIcon(HICON icon = nullptr) : icon_(icon) {}
  ~UniqueIcon() {
    if (icon_ != nullptr) ::DestroyIcon(icon_);
  }
  UniqueIcon(const UniqueIcon&) = delete;
  UniqueIcon& operator=(const UniqueIcon&) = delete;
  HICON get() const { return icon_; }

 private:
  HICON icon_;
};

// A new icon in the notification area's size (LoadIconMetric, small); null
// when the program has no icon resource (the caller falls back to
// IDI_APPLICATION).
HICON LoadNotificationIcon();

// The icon of a window's title bar (`small`) or its taskbar button and
// Alt+Tab entry, in the size of `dpi`. Shared: never destroyed. Falls back
// to IDI_APPLICATION when the program has no icon resource.
HICON ProgramIconFor(UINT dpi, bool small);

}  // namespace orvik::ui::win32

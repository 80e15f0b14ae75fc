// The program's 32 x 32 icon, drawn at run time (no resource file): a clock
// face with its hands and a red centre, and green signal arcs from the top
// right corner, as the Linux windows show it. Used for the notification-area
// icon and the windows' title bars.
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

// A new icon; null when GDI refused (the caller may fall back to IDI_APPLICATION).
HICON MakeProgramIcon();

}  // namespace orvik::ui::win32

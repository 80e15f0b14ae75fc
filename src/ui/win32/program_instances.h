// How the programs find each other: one desktop program per user session
// (a second copy asks the first to show its status window and ends), one
// time server per PC (the service, the console program or the desktop
// program that reads the receiver itself), each holding a named mutex for
// its life. Main thread only.
#pragma once

#include <windows.h>

#include "platform/win32/unique_handle.h"

namespace orvik::ui::win32 {

inline constexpr wchar_t kDesktopMutexName[] = L"Local\\OrvikGpsTimeDesktop";
inline constexpr wchar_t kServerMutexName[] = L"Global\\OrvikGpsTimeServer";

// A named mutex, created (or opened) for the object's life.
class NamedMutex {
 public:
  explicit NamedMutex(const wchar_t* name);

  // Another process made it first: it is running. A mutex of another user
  // (the service's) that this user may not open counts as well.
  bool HeldElsewhere() const { return held_elsewhere_; }

 private:
  platform::UniqueHandle mutex_;
  bool held_elsewhere_ = false;
};

// The message by which a second copy asks the first one to show its status
// window in front (posted to the first one's hidden main window).
UINT ShowStatusWindowMessage();

// Asks the first copy to show its status window in front, and lets it come
// to the foreground. False when no first copy's window was found.
bool BringFirstCopyForward();

}  // namespace orvik::ui::win32

// How the desktop programs find each other: one per user session, holding
// kDesktopMutexName (a platform::Win32SingleInstance) for its life; a second
// copy asks the first to show its status window and ends. One time server
// per PC is Win32SingleInstance's default name. Main thread only.
#pragma once

#include <windows.h>

namespace orvik::ui::win32 {

inline constexpr wchar_t kDesktopMutexName[] = L"Local\\OrvikGpsTimeDesktop";

// The message by which a second copy asks the first one to show its status
// window in front (posted to the first one's hidden main window).
UINT ShowStatusWindowMessage();

// Asks the first copy to show its status window in front, and lets it come
// to the foreground. False when no first copy's window was found.
bool BringFirstCopyForward();

}  // namespace orvik::ui::win32

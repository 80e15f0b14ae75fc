// TrayOwner: the hidden main window of the desktop program ("Orvik - GPS
// Time", 120 x 1, no title-bar buttons). It owns the notification-area icon
// ("GPS Time") with its menu "&Show" (the default, drawn bold), "&Hide", a
// separator and "Exit", and the 60-second watchdog of the acquisition.
// Right-clicking the icon opens the menu at the pointer; double-clicking it
// shows the status window; "Exit" (or closing this window) stops the
// acquisition, removes the icon and ends the program. The small window is
// visible only for the first seconds, until the status window's auto-hide
// hides it; minimising it hides it too.
//
// The icon is added again when the shell's taskbar is re-created, and a
// notification area missing at start (refused NIM_ADD) is tried again once a
// second until it takes the icon. Main thread only.
#pragma once

#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <functional>

#include "ui/win32/window.h"

namespace orvik::ui::win32 {

struct TrayOwnerHooks {
  std::function<void()> stop_acquisition;  // "Exit": before the program ends
  std::function<void()> quit;              // ends the main loop
  // The session ends (log-off, shut-down): the system ends the process as
  // soon as the message returns, so this must end the program's work now.
  std::function<void()> end_session;
  std::function<void()> watchdog_tick;     // every 60 s
  // Runs once when a notification area that was missing took the icon.
  std::function<void()> notification_area_appeared;
};

class TrayOwner : public Window {
 public:
  TrayOwner(HICON icon, TrayOwnerHooks hooks);
  ~TrayOwner() override;

  // The window "&Show" and "&Hide" act on (not owned; may be set later).
  void SetStatusWindow(Window* status_window) { status_window_ = status_window; }

  // Adds the icon and shows this window where it took (as at program start).
  void ShowAtStart();
  // Whether the notification area holds the icon.
  bool IconShown() const { return icon_shown_; }
  // Hides this window and with it the program's taskbar entry; the icon stays.
  void HideMainForm() { Hide(); }
  // "Exit": stops the acquisition and ends the program; once.
  void Exit1Click();

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  bool AddIcon();
  void Show1Click();
  void Hide1Click();
  void PopupAtCursor();
  void OnIconMessage(LPARAM mouse_message);

  // Takes the icon out of the notification area, if it is there.
  void RemoveIcon();

  const TrayOwnerHooks hooks_;
  const HICON icon_;
  const UINT taskbar_created_;  // the shell's "TaskbarCreated" message
  HMENU popup_menu_ = nullptr;  // PopupMenu1
  Window* status_window_ = nullptr;
  bool icon_shown_ = false;
  bool icon_wanted_ = false;
  bool exiting_ = false;
};

}  // namespace orvik::ui::win32

// TrayOwner: the hidden main window of the desktop program ("Orvik - GPS
// Time", 120 x 1, no title-bar buttons). It owns the notification-area icon
// ("GPS Time", its tooltip naming the state) with its menu "&Show" (the
// default, drawn bold), "&Hide", a separator and "Exit". The icon speaks
// the shell's version 4: its context menu (a right click, or Shift+F10 or
// the menu key on the focused icon) opens at the icon, towards the middle of
// the icon's monitor; a selection (a click, Enter or Space) or a double
// click shows the status window. A shell that refuses version 4 gets the older way: the menu on
// the right button's release, at the pointer. "Exit" (or closing this
// window) stops the acquisition, removes the icon and ends the program. The
// small window is visible only for the first seconds, until the status
// window's auto-hide hides it; minimising it hides it too.
//
// The icon is added again when the shell's taskbar is re-created (its
// "TaskbarCreated" message is let through to an elevated program too), and
// a notification area missing at start (refused NIM_ADD) is tried again
// once a second until it takes the icon. A second copy of the program asks
// this window to show the status window (ShowStatusWindowMessage). Main
// thread only.
#pragma once

#include <windows.h>
// after windows.h
#include <shellapi.h>

#include <functional>
#include <string>

#include "ui/logic/desktop_hooks.h"
#include "ui/win32/window.h"

namespace orvik::ui::win32 {

// The window class of the hidden main window, by which a second copy finds it.
inline constexpr wchar_t kMainWindowClass[] = L"TForm5";

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
  // "&Show": shows the status window in front.
  void Show1Click();
  // The icon's tooltip; the shell takes its first kTrayTipLength characters.
  void SetTip(const std::string& tip);
  const std::string& tip() const { return tip_; }
  // Whether the shell took the icon's version 4 (keyboard access).
  bool IconVersion4() const { return icon_version4_; }

 protected:
  void LayOut() override;
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

 private:
  bool AddIcon();
  // The record for the shell, with the tooltip.
  NOTIFYICONDATAW IconData(UINT flags) const;
  void Hide1Click();
  // Opens the menu at `anchor` (screen coordinates) and runs its choice.
  void PopupAt(POINT anchor);
  void OnIconMessage(WPARAM wparam, LPARAM lparam);

  // Takes the icon out of the notification area, if it is there.
  void RemoveIcon();

  const TrayOwnerHooks hooks_;
  const HICON icon_;
  const UINT taskbar_created_;  // the shell's "TaskbarCreated" message
  const UINT show_status_;      // a second copy's ShowStatusWindowMessage
  HMENU popup_menu_ = nullptr;  // PopupMenu1
  Window* status_window_ = nullptr;
  std::string tip_ = "GPS Time";
  bool icon_shown_ = false;
  bool icon_version4_ = false;
  bool icon_wanted_ = false;
  bool exiting_ = false;
};

}  // namespace orvik::ui::win32

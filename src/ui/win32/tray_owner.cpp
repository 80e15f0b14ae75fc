#include "ui/win32/tray_owner.h"

#include <windowsx.h>  // GET_X_LPARAM

#include <utility>

#include "ui/logic/popup_alignment.h"
#include "ui/logic/tray_tip.h"
#include "ui/win32/program_instances.h"

namespace orvik::ui::win32 {

namespace {

constexpr UINT kIconMessage = WM_USER + 1024;  // the icon's mouse notifications
constexpr UINT kIconId = 1;
constexpr UINT kAreaRetryMs = 1'000;
enum : UINT_PTR { kAreaRetryTimer = 1 };              // the area watch
enum : UINT { kShowItem = 1, kHideItem, kExitItem };  // Show1, Hide1, Exit1

}  // namespace

TrayOwner::TrayOwner(HICON icon, TrayOwnerHooks hooks)
    : hooks_(std::move(hooks)),
      icon_(icon),
      taskbar_created_(::RegisterWindowMessageW(L"TaskbarCreated")),
      show_status_(ShowStatusWindowMessage()) {
  popup_menu_ = ::CreatePopupMenu();
  ::AppendMenuW(popup_menu_, MF_STRING, kShowItem, L"&Show");
  ::AppendMenuW(popup_menu_, MF_STRING, kHideItem, L"&Hide");
  ::AppendMenuW(popup_menu_, MF_SEPARATOR, 0, nullptr);  // N1
  ::AppendMenuW(popup_menu_, MF_STRING, kExitItem, L"Exit");
  ::SetMenuDefaultItem(popup_menu_, kShowItem, FALSE);  // drawn bold
  Create(kMainWindowClass, L"Orvik - GPS Time", WS_OVERLAPPED | WS_CAPTION, CW_USEDEFAULT,
         CW_USEDEFAULT, 120, 1);
  LayOut();
  // An elevated program hears of a new taskbar only when it lets the
  // message through from the shell's lower integrity level.
  // The same for a second copy's request when this one runs elevated.
  for (const UINT message : {taskbar_created_, show_status_}) {
    if (message != 0) ::ChangeWindowMessageFilterEx(handle(), message, MSGFLT_ALLOW, nullptr);
  }
}

TrayOwner::~TrayOwner() {
  ::KillTimer(handle(), kAreaRetryTimer);
  RemoveIcon();
  ::DestroyMenu(popup_menu_);
}

NOTIFYICONDATAW TrayOwner::IconData(UINT flags) const {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = handle();
  data.uID = kIconId;
  data.uFlags = flags;
  data.uCallbackMessage = kIconMessage;
  data.hIcon = icon_;
  const std::wstring tip = Widen(tip_.substr(0, ui::kTrayTipLength));
  ::lstrcpynW(data.szTip, tip.c_str(), ARRAYSIZE(data.szTip));
  return data;
}

void TrayOwner::RemoveIcon() {
  if (!icon_shown_) return;
  NOTIFYICONDATAW data = IconData(0);
  ::Shell_NotifyIconW(NIM_DELETE, &data);
  icon_shown_ = false;
}

bool TrayOwner::AddIcon() {
  // NIF_SHOWTIP: a version-4 icon shows its standard tooltip only when asked.
  NOTIFYICONDATAW data = IconData(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP);
  icon_shown_ = ::Shell_NotifyIconW(NIM_ADD, &data) != 0;
  if (icon_shown_) {
    data.uVersion = NOTIFYICON_VERSION_4;
    icon_version4_ = ::Shell_NotifyIconW(NIM_SETVERSION, &data) != 0;
  }
  return icon_shown_;
}

void TrayOwner::SetTip(const std::string& tip) {
  tip_ = tip;
  if (!icon_shown_) return;  // the icon takes it when it is added
  NOTIFYICONDATAW data = IconData(NIF_TIP | NIF_SHOWTIP);
  ::Shell_NotifyIconW(NIM_MODIFY, &data);
}

void TrayOwner::LayOut() { SetClientSize(Scale(120), Scale(1)); }

void TrayOwner::ShowAtStart() {
  icon_wanted_ = true;
  if (!AddIcon()) {
    // No notification area yet (a panel that comes up after the program).
    ::SetTimer(handle(), kAreaRetryTimer, kAreaRetryMs, nullptr);
    return;
  }
  ::ShowWindow(handle(), SW_SHOW);
}

void TrayOwner::Show1Click() {
  if (status_window_ != nullptr) status_window_->ShowInFront();
}

void TrayOwner::Hide1Click() {
  if (status_window_ != nullptr) status_window_->Hide();
}

void TrayOwner::Exit1Click() {
  if (exiting_) return;
  exiting_ = true;
  ::KillTimer(handle(), kAreaRetryTimer);
  if (hooks_.stop_acquisition) hooks_.stop_acquisition();
  RemoveIcon();
  Hide();
  if (hooks_.quit) hooks_.quit();
}

void TrayOwner::PopupAt(POINT anchor) {
  // The monitor holding the icon (where the shell says it is), else the
  // one holding the anchor.
  NOTIFYICONIDENTIFIER icon{};
  icon.cbSize = sizeof icon;
  icon.hWnd = handle();
  icon.uID = kIconId;
  RECT icon_rect;
  const HMONITOR monitor = SUCCEEDED(::Shell_NotifyIconGetRect(&icon, &icon_rect))
                               ? ::MonitorFromRect(&icon_rect, MONITOR_DEFAULTTONEAREST)
                               : ::MonitorFromPoint(anchor, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  ::GetMonitorInfoW(monitor, &info);
  // It opens towards the middle of that monitor, so that it never covers
  // the icon it belongs to, wherever the notification area is.
  const ui::PopupAlignment alignment = ui::PopupAlignmentFor(
      ui::ScreenPoint{anchor.x, anchor.y},
      ui::ScreenRect{info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom});
  UINT flags = TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY;
  flags |= alignment.right_align ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
  flags |= alignment.bottom_align ? TPM_BOTTOMALIGN : TPM_TOPALIGN;
  // Without the foreground the menu would not close when clicked elsewhere.
  ::SetForegroundWindow(handle());
  const UINT chosen = static_cast<UINT>(
      ::TrackPopupMenu(popup_menu_, flags, anchor.x, anchor.y, 0, handle(), nullptr));
  ::PostMessageW(handle(), WM_NULL, 0, 0);
  switch (chosen) {
    case kShowItem:
      Show1Click();
      break;
    case kHideItem:
      Hide1Click();
      break;
    case kExitItem:
      Exit1Click();
      break;
    default:
      break;
  }
}

void TrayOwner::OnIconMessage(WPARAM wparam, LPARAM lparam) {
  const UINT event = LOWORD(lparam);
  if (icon_version4_) {
    // Version 4: the event in the low word, the icon's anchor in wparam.
    switch (event) {
      case WM_CONTEXTMENU:
        PopupAt(POINT{GET_X_LPARAM(wparam), GET_Y_LPARAM(wparam)});
        break;
      case NIN_SELECT:
      case NIN_KEYSELECT:
      case WM_LBUTTONDBLCLK:
        Show1Click();
        break;  // the default item
      default:
        break;
    }
    return;
  }
  // The older shells: the mouse messages only. The right button's release
  // only: opening the menu on the press as well would nest a second menu in
  // the first.
  switch (event) {
    case WM_RBUTTONUP: {
      POINT at;
      if (::GetCursorPos(&at)) PopupAt(at);
      break;
    }
    case WM_LBUTTONDBLCLK:
      Show1Click();
      break;
    default:
      break;
  }
}

LRESULT TrayOwner::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == taskbar_created_ && taskbar_created_ != 0) {
    // The shell's taskbar was re-created (and with it the notification
    // area, empty): the icon goes back in.
    if (icon_wanted_ && !exiting_) AddIcon();
    return 0;
  }
  if (message == show_status_ && show_status_ != 0) {
    if (!exiting_) Show1Click();
    return 0;
  }
  switch (message) {
    case kIconMessage:
      if (!exiting_) OnIconMessage(wparam, lparam);
      return 0;
    case WM_TIMER:
      if (wparam == kAreaRetryTimer && AddIcon()) {
        ::KillTimer(handle(), kAreaRetryTimer);
        if (hooks_.notification_area_appeared) hooks_.notification_area_appeared();
      }
      return 0;
    case WM_SIZE:
      if (wparam == SIZE_MINIMIZED) Hide();  // only the icon remains
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;  // Windows may shut down or log off
    case WM_ENDSESSION:
      // The acquisition ends (its "Stop" written) before Windows ends the
      // process; the icon goes with it.
      if (wparam != FALSE) {
        if (hooks_.end_session) hooks_.end_session();
        RemoveIcon();
      }
      return 0;
    case WM_CLOSE:
      // This is the program's main window: closing it ends the program.
      Exit1Click();
      return 0;
    default:
      return Window::HandleMessage(message, wparam, lparam);
  }
}

}  // namespace orvik::ui::win32

#include "ui/win32/error_box.h"

#include <algorithm>

namespace orvik::ui::win32 {

namespace {

constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kMaxTextWidth = 400;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;

}  // namespace

ErrorBox::ErrorBox() : font_(MakeFont(11, false)) {
  Create(L"ErrorBox", L"Orvik - GPS Time", WS_POPUP | WS_CAPTION | WS_SYSMENU, 260, 200, 200,
         100);
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  icon_ = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_ICON, kMargin, kMargin,
                            kIconSize, kIconSize, handle(), nullptr, instance, nullptr);
  ::SendMessageW(icon_, STM_SETICON, reinterpret_cast<WPARAM>(::LoadIconW(nullptr, IDI_ERROR)), 0);
  text_ = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0,
                            0, 1, 1, handle(), nullptr, instance, nullptr);
  ::SendMessageW(text_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
  ok_ = ::CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                          0, 0, kButtonWidth, kButtonHeight, handle(),
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), instance, nullptr);
  ::SendMessageW(ok_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
}

void ErrorBox::Report(const std::string& message) {
  shown_ = message;
  ::SetWindowTextW(text_, Widen(message).c_str());
  Layout();
  ShowInFront();
  ::SetFocus(ok_);
}

void ErrorBox::Withdraw(const std::string& message) {
  if (Visible() && shown_ == message) Hide();
}

// The text wraps at kMaxTextWidth; the box fits the text, the icon on its
// left and the button centred below.
void ErrorBox::Layout() {
  const std::wstring wide = Widen(shown_);
  RECT text{0, 0, kMaxTextWidth, 0};
  const HDC dc = ::GetDC(text_);
  const HGDIOBJ previous = ::SelectObject(dc, font_.get());
  ::DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &text,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  ::SelectObject(dc, previous);
  ::ReleaseDC(text_, dc);
  const int text_left = kMargin + kIconSize + kMargin;
  const int text_height = std::max(static_cast<int>(text.bottom), kIconSize);
  ::SetWindowPos(text_, nullptr, text_left, kMargin, text.right, text_height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  const int width = std::max(text_left + static_cast<int>(text.right) + kMargin,
                             kButtonWidth + 2 * kMargin);
  const int button_top = kMargin + text_height + kMargin;
  ::SetWindowPos(ok_, nullptr, (width - kButtonWidth) / 2, button_top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT outer{0, 0, width, button_top + kButtonHeight + kMargin};
  ::AdjustWindowRectEx(&outer, static_cast<DWORD>(::GetWindowLongPtrW(handle(), GWL_STYLE)), FALSE,
                       0);
  ::SetWindowPos(handle(), nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT ErrorBox::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) Hide();
      return 0;
    case WM_CLOSE:
      Hide();
      return 0;
    default:
      return Window::HandleMessage(message, wparam, lparam);
  }
}

}  // namespace orvik::ui::win32

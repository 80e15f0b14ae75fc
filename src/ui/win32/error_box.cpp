#include "ui/win32/error_box.h"

#include <algorithm>

namespace orvik::ui::win32 {

namespace {

// The sizes at 96 DPI.
constexpr int kMargin = 12;
constexpr int kIconSize = 32;
constexpr int kMaxTextWidth = 400;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;

}  // namespace

ErrorBox::ErrorBox() {
  Create(L"ErrorBox", L"Orvik - GPS Time", WS_POPUP | WS_CAPTION | WS_SYSMENU, 260, 200, 200, 100);
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  icon_ = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_ICON | SS_REALSIZECONTROL,
                            kMargin, kMargin, kIconSize, kIconSize, handle(), nullptr, instance,
                            nullptr);
  text_ = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0,
                            1, 1, handle(), nullptr, instance, nullptr);
  ok_ =
      ::CreateWindowExW(0, L"BUTTON", L"OK", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON,
                        0, 0, kButtonWidth, kButtonHeight, handle(),
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDOK)), instance, nullptr);
  LayOut();
}

void ErrorBox::Report(const std::string& message) {
  shown_ = message;
  ::SetWindowTextW(text_, Widen(message).c_str());
  LayOut();
  ShowInFront();
  ::SetFocus(ok_);
}

void ErrorBox::Withdraw(const std::string& message) {
  if (Visible() && shown_ == message) Hide();
}

// The text wraps at kMaxTextWidth; the box fits the text, the icon on its
// left and the button centred below.
void ErrorBox::LayOut() {
  UniqueFont font = MakeFont(dpi(), 0, false);
  SetControlFont(text_, font.get());
  SetControlFont(ok_, font.get());
  const std::wstring wide = Widen(shown_);
  RECT text{0, 0, Scale(kMaxTextWidth), 0};
  const HDC dc = ::GetDC(text_);
  const HGDIOBJ previous = ::SelectObject(dc, font.get());
  ::DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &text,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  ::SelectObject(dc, previous);
  ::ReleaseDC(text_, dc);
  const int margin = Scale(kMargin);
  const int icon_size = std::max(Scale(kIconSize), ::GetSystemMetricsForDpi(SM_CXICON, dpi()));
  // The system's error icon in the size of this DPI (shared: never destroyed).
  const auto icon = static_cast<HICON>(
      ::LoadImageW(nullptr, IDI_ERROR, IMAGE_ICON, icon_size, icon_size, LR_SHARED));
  ::SendMessageW(icon_, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
  ::SetWindowPos(icon_, nullptr, margin, margin, icon_size, icon_size,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  const int text_left = margin + icon_size + margin;
  const int text_height = std::max(static_cast<int>(text.bottom), icon_size);
  ::SetWindowPos(text_, nullptr, text_left, margin, text.right, text_height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  const int button_width = std::max(Scale(kButtonWidth), TextWidth(font.get(), "OK") + Scale(16));
  const int button_height = std::max(Scale(kButtonHeight), TextHeight(font.get()) + Scale(8));
  const int width =
      std::max(text_left + static_cast<int>(text.right) + margin, button_width + 2 * margin);
  const int button_top = margin + text_height + margin;
  ::SetWindowPos(ok_, nullptr, (width - button_width) / 2, button_top, button_width, button_height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  SetClientSize(width, button_top + button_height + margin);
  font_ = std::move(font);  // the controls have the new font: the old one may go
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

#include "ui/win32/window.h"

namespace orvik::ui::win32 {

std::wstring Widen(std::string_view latin1) {
  std::wstring wide;
  wide.reserve(latin1.size());
  for (const char c : latin1) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return wide;
}

Window::~Window() {
  if (handle_ == nullptr) return;
  // No message reaches this half-destroyed object any more.
  ::SetWindowLongPtrW(handle_, GWLP_USERDATA, 0);
  ::DestroyWindow(handle_);
}

void Window::ShowInFront() {
  ::ShowWindow(handle_, SW_SHOW);
  ::SetForegroundWindow(handle_);
  ::SetFocus(handle_);
}

bool Window::Create(const wchar_t* class_name, const wchar_t* title, DWORD style, int x, int y,
                    int client_width, int client_height, HMENU menu) {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.style = CS_DBLCLKS;
  window_class.lpfnWndProc = &Window::Procedure;
  window_class.hInstance = instance;
  window_class.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
  window_class.lpszClassName = class_name;
  ::RegisterClassExW(&window_class);  // fails harmlessly for a second window of the class

  RECT frame{0, 0, client_width, client_height};
  ::AdjustWindowRectEx(&frame, style, menu != nullptr, 0);
  handle_ = ::CreateWindowExW(0, class_name, title, style, x, y, frame.right - frame.left,
                              frame.bottom - frame.top, nullptr, menu, instance, this);
  return handle_ != nullptr;
}

LRESULT Window::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  return ::DefWindowProcW(handle_, message, wparam, lparam);
}

LRESULT CALLBACK Window::Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    auto* self = static_cast<Window*>(create->lpCreateParams);
    self->handle_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Window*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(window, message, wparam, lparam);
  if (message == WM_ACTIVATE && LOWORD(wparam) != WA_INACTIVE && self->activation_observer_) {
    self->activation_observer_(window);
  }
  return self->HandleMessage(message, wparam, lparam);
}

HFONT MakeFont(int pixel_height, bool bold, const wchar_t* face) {
  return ::CreateFontW(-pixel_height, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, face);
}

HWND AddLabel(HWND parent, int id, int x, int y, std::string_view text, HFONT font) {
  const HWND label = ::CreateWindowExW(
      0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, x, y, 1, 1, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
  ::SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SetLabelText(label, text);
  return label;
}

void SetLabelText(HWND label, std::string_view text) {
  const std::wstring wide = Widen(text);
  ::SetWindowTextW(label, wide.c_str());
  const HDC dc = ::GetDC(label);
  const auto font = reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0));
  const HGDIOBJ previous = ::SelectObject(dc, font);
  SIZE extent{0, 0};
  ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
  ::SelectObject(dc, previous);
  ::ReleaseDC(label, dc);
  ::SetWindowPos(label, nullptr, 0, 0, extent.cx, extent.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::InvalidateRect(label, nullptr, TRUE);
}

int LabelRight(HWND label) {
  RECT rect;
  ::GetWindowRect(label, &rect);
  ::MapWindowPoints(nullptr, ::GetParent(label), reinterpret_cast<POINT*>(&rect), 2);
  return rect.right;
}

}  // namespace orvik::ui::win32

namespace orvik::ui::win32 {

int TextWidth(HFONT font, std::string_view text) {
  const std::wstring wide = Widen(text);
  const HDC dc = ::GetDC(nullptr);
  const HGDIOBJ previous = ::SelectObject(dc, font);
  SIZE extent{0, 0};
  ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &extent);
  ::SelectObject(dc, previous);
  ::ReleaseDC(nullptr, dc);
  return extent.cx;
}

}  // namespace orvik::ui::win32

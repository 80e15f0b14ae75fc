#include "ui/win32/window.h"

#include "ui/win32/program_icon.h"

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
  const UINT system_dpi = ::GetDpiForSystem();
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.style = CS_DBLCLKS;
  window_class.lpfnWndProc = &Window::Procedure;
  window_class.hInstance = instance;
  window_class.hIcon = ProgramIconFor(system_dpi, false);
  window_class.hIconSm = ProgramIconFor(system_dpi, true);
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
  window_class.lpszClassName = class_name;
  ::RegisterClassExW(&window_class);  // fails harmlessly for a second window of the class

  dpi_ = system_dpi;
  RECT frame{0, 0, Scale(client_width), Scale(client_height)};
  ::AdjustWindowRectExForDpi(&frame, style, menu != nullptr, 0, system_dpi);
  const auto place = [this](int coordinate) {
    return coordinate == CW_USEDEFAULT ? coordinate : Scale(coordinate);
  };
  handle_ =
      ::CreateWindowExW(0, class_name, title, style, place(x), place(y), frame.right - frame.left,
                        frame.bottom - frame.top, nullptr, menu, instance, this);
  if (handle_ == nullptr) return false;
  // Placed on another monitor than the primary one, it has that one's DPI.
  if (const UINT dpi = ::GetDpiForWindow(handle_); dpi != 0) dpi_ = dpi;
  TakeIcons();
  return true;
}

void Window::SetClientSize(int width, int height) {
  RECT outer, client;
  ::GetWindowRect(handle_, &outer);
  ::GetClientRect(handle_, &client);
  ::SetWindowPos(handle_, nullptr, 0, 0, outer.right - outer.left - client.right + width,
                 outer.bottom - outer.top - client.bottom + height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window::TakeIcons() {
  ::SendMessageW(handle_, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(ProgramIconFor(dpi_, true)));
  ::SendMessageW(handle_, WM_SETICON, ICON_BIG,
                 reinterpret_cast<LPARAM>(ProgramIconFor(dpi_, false)));
}

void Window::OnDpiChanged(UINT dpi, const RECT& suggested) {
  dpi_ = dpi;
  // The suggested rectangle keeps the window where the user put it, on the
  // new monitor; the layout then sizes the client area for the new DPI.
  ::SetWindowPos(handle_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  LayOut();
  TakeIcons();
  ::InvalidateRect(handle_, nullptr, TRUE);
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
  if (message == WM_DPICHANGED) {
    // Both words carry the new DPI (the same on both axes).
    self->OnDpiChanged(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
    return 0;
  }
  return self->HandleMessage(message, wparam, lparam);
}

UniqueFont MakeFont(UINT dpi, int height, bool bold) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  LOGFONTW font{};
  if (::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
    font = metrics.lfMessageFont;
  } else {
    // The message font of Windows 10 and 11, should the system not say.
    font.lfHeight = -::MulDiv(9, static_cast<int>(dpi), 72);
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    ::lstrcpynW(font.lfFaceName, L"Segoe UI", LF_FACESIZE);
  }
  if (height > 0) font.lfHeight = -::MulDiv(height, static_cast<int>(dpi), kBaseDpi);
  font.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  return UniqueFont(::CreateFontIndirectW(&font));
}

HWND AddLabel(HWND parent, int id, int x, int y, std::string_view text, HFONT font) {
  const HWND label = ::CreateWindowExW(
      0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, x, y, 1, 1, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
  ::SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  SetLabelText(label, text);
  return label;
}

namespace {

std::wstring TextOf(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  ::GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(length));
  return text;
}

void SizeLabelToText(HWND label, const std::wstring& text) {
  const HDC dc = ::GetDC(label);
  const auto font = reinterpret_cast<HFONT>(::SendMessageW(label, WM_GETFONT, 0, 0));
  const HGDIOBJ previous = ::SelectObject(dc, font);
  SIZE extent{0, 0};
  ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  ::SelectObject(dc, previous);
  ::ReleaseDC(label, dc);
  ::SetWindowPos(label, nullptr, 0, 0, extent.cx, extent.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::InvalidateRect(label, nullptr, TRUE);
}

}  // namespace

void SetLabelText(HWND label, std::string_view text) {
  const std::wstring wide = Widen(text);
  ::SetWindowTextW(label, wide.c_str());
  SizeLabelToText(label, wide);
}

void PlaceLabel(HWND label, int x, int y, HFONT font) {
  ::SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  ::SetWindowPos(label, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SizeLabelToText(label, TextOf(label));
}

void SetControlFont(HWND control, HFONT font) {
  ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

RECT ChildRect(HWND child) {
  RECT rect;
  ::GetWindowRect(child, &rect);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

int LabelRight(HWND label) { return static_cast<int>(ChildRect(label).right); }

int ChildBottom(HWND child) { return static_cast<int>(ChildRect(child).bottom); }

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

int TextHeight(HFONT font) {
  const HDC dc = ::GetDC(nullptr);
  const HGDIOBJ previous = ::SelectObject(dc, font);
  TEXTMETRICW metrics{};
  ::GetTextMetricsW(dc, &metrics);
  ::SelectObject(dc, previous);
  ::ReleaseDC(nullptr, dc);
  return metrics.tmHeight;
}

}  // namespace orvik::ui::win32

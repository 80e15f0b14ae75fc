#include "platform/win32/win32_session_end_window.h"

#include <future>
#include <utility>

namespace orvik::platform {

namespace {

constexpr wchar_t kClassName[] = L"OrvikGpsTimeSessionEnd";

}  // namespace

Win32SessionEndWindow::Win32SessionEndWindow(Handler on_end) : on_end_(std::move(on_end)) {
  std::promise<void> made;
  std::future<void> made_future = made.get_future();
  thread_ = std::thread([this, made = std::move(made)]() mutable {
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = &Win32SessionEndWindow::WindowProcedure;
    window_class.hInstance = instance;
    window_class.lpszClassName = kClassName;
    ::RegisterClassExW(&window_class);  // fails harmlessly when registered before
    // Top-level (no parent, not HWND_MESSAGE) and never shown.
    window_ = ::CreateWindowExW(0, kClassName, L"Orvik GPS Time", WS_OVERLAPPED, 0, 0, 0, 0,
                                nullptr, nullptr, instance, this);
    made.set_value();
    if (window_ != nullptr) RunWindow();
  });
  made_future.wait();
}

Win32SessionEndWindow::~Win32SessionEndWindow() {
  if (window_ != nullptr) ::PostMessageW(window_, WM_CLOSE, 0, 0);
  thread_.join();
}

void Win32SessionEndWindow::RunWindow() {
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

LRESULT CALLBACK Win32SessionEndWindow::WindowProcedure(HWND window, UINT message, WPARAM wparam,
                                                        LPARAM lparam) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* self = reinterpret_cast<Win32SessionEndWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_QUERYENDSESSION:
      return TRUE;  // the program never holds the session up
    case WM_ENDSESSION:
      if (wparam != FALSE && self != nullptr && self->on_end_) {
        self->on_end_((lparam & ENDSESSION_LOGOFF) != 0 ? CTRL_LOGOFF_EVENT : CTRL_SHUTDOWN_EVENT);
      }
      return 0;
    case WM_CLOSE:
      ::DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wparam, lparam);
  }
}

}  // namespace orvik::platform

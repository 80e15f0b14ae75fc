// Win32SessionEndWindow: a hidden top-level window, in a thread of its own,
// that hears of the end of the user's session (log-off, shut-down).
//
// A console program that uses windows (user32) gets no log-off or shut-down
// event through its console handler; the system tells its top-level windows
// instead, with WM_QUERYENDSESSION and WM_ENDSESSION. A message-only window
// gets neither, hence this window. Its thread is its own so that the handler
// may wait for the program's main loop to end the program in order: Windows
// ends the process once WM_ENDSESSION has been answered.
//
// Construct and destroy it in any one thread; the handler runs in the
// window's thread.
#pragma once

#include <windows.h>

#include <functional>
#include <thread>

namespace orvik::platform {

class Win32SessionEndWindow {
 public:
  // Receives CTRL_LOGOFF_EVENT or CTRL_SHUTDOWN_EVENT when the session ends;
  // the process may end as soon as it returns.
  using Handler = std::function<void(DWORD console_event)>;

  explicit Win32SessionEndWindow(Handler on_end);
  // Closes the window and joins its thread. REQUIRES: a handler call under
  // way returns by itself.
  ~Win32SessionEndWindow();

  Win32SessionEndWindow(const Win32SessionEndWindow&) = delete;
  Win32SessionEndWindow& operator=(const Win32SessionEndWindow&) = delete;

  // The window (null when it could not be made), for tests.
  HWND window() const { return window_; }

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void RunWindow();

  const Handler on_end_;
  HWND window_ = nullptr;  // written by the window's thread before the constructor returns
  std::thread thread_;
};

}  // namespace orvik::platform

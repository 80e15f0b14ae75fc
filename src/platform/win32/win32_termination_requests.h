// Win32TerminationRequests: Ctrl+C, Ctrl+Break, closing the console window,
// log-off and shut-down as requests to end the program in order (stop the
// acquisition, write "Stop", close the clients), the console counterpart of
// the termination signals on Linux. The request's code is the console event
// (CTRL_C_EVENT, ...).
//
// Log-off and shut-down come through a hidden top-level window
// (Win32SessionEndWindow): a program that uses windows gets them through its
// console handler no more. They are handed over like the console events.
//
// Windows calls the console handler in a thread of its own. For Ctrl+C and
// Ctrl+Break the handler hands the request over and returns at once; the
// program goes on until its loop has ended it. For closing the console,
// log-off and shut-down Windows ends the process as soon as the handler
// returns (or after about 5 seconds), so the handler waits there, bounded,
// until the program says it has ended in order (Ended()).
//
// One object at a time per process: the handler Windows calls has no
// context argument, so the active object is found through a process-wide
// slot that only this class uses.
#pragma once

#include <windows.h>

#include <chrono>
#include <memory>

#include "platform/termination_requests.h"
#include "platform/win32/win32_session_end_window.h"

namespace orvik::platform {

class Win32TerminationRequests : public TerminationRequests {
 public:
  // Longest wait in the handler for a close, log-off or shut-down: below the
  // 5 seconds after which Windows ends the process anyway.
  static constexpr std::chrono::milliseconds kDefaultEndWait{4500};

  // Installs the console handler. Until Listen() the events keep the
  // system's default (the process ends at once).
  explicit Win32TerminationRequests(std::chrono::milliseconds end_wait = kDefaultEndWait);
  // Removes the handler and counts as Ended(); no handler call runs
  // afterwards.
  ~Win32TerminationRequests() override;

  Win32TerminationRequests(const Win32TerminationRequests&) = delete;
  Win32TerminationRequests& operator=(const Win32TerminationRequests&) = delete;

  // `handler` runs in the console handler's thread: it must only hand the
  // request over (e.g. with MainLoop::Post), and not call Ended() itself.
  void Listen(Handler handler) override;
  // False when the handler could not be installed.
  bool ok() const override { return installed_; }

  // The program has ended in order: a handler waiting for that returns.
  void Ended();

  // The console handler itself (what SetConsoleCtrlHandler installs):
  // TRUE when the event was handed to a listener, FALSE (the system's
  // default: end the process) when there is none.
  static BOOL WINAPI HandleConsoleEvent(DWORD event);

  // The window that hears of log-off and shut-down (null when it could not
  // be made), for tests.
  HWND session_window() const { return session_end_->window(); }

  struct State;

 private:
  std::shared_ptr<State> state_;
  bool installed_ = false;
  // Destroyed first: a WM_ENDSESSION still waiting has been released by the
  // destructor's end mark.
  std::unique_ptr<Win32SessionEndWindow> session_end_;
};

}  // namespace orvik::platform

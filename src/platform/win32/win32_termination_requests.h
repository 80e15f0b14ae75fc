// Win32TerminationRequests: Ctrl+C, Ctrl+Break, closing the console window,
// log-off and shut-down turned into one request to end the program in order
// (stop the acquisition, write "Stop", close the clients), the console
// counterpart of the termination signals on Linux.
//
// Windows calls the console handler in a thread of its own. For Ctrl+C and
// Ctrl+Break the handler hands the request over and returns at once; the
// program goes on until its loop has ended it. For closing the console,
// log-off and shut-down Windows ends the process as soon as the handler
// returns (or after about 5 seconds), so the handler waits there, bounded,
// until the program says it has ended in order.
//
// One object at a time per process: the handler Windows calls has no
// context argument, so the active object is found through a process-wide
// slot that only this class uses.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <memory>

namespace orvik::platform {

class Win32TerminationRequests {
 public:
  // Longest wait in the handler for a close, log-off or shut-down: below the
  // 5 seconds after which Windows ends the process anyway.
  static constexpr std::chrono::milliseconds kDefaultEndWait{4500};

  // Installs the handler. `request` runs in the handler's thread with the
  // console event (CTRL_C_EVENT, ...); it must only hand the request over,
  // e.g. with MainLoop::Post, and not call Ended() itself. It never runs
  // once the destructor has begun.
  explicit Win32TerminationRequests(std::function<void(DWORD event)> request,
                                    std::chrono::milliseconds end_wait = kDefaultEndWait);
  // Removes the handler and counts as Ended().
  ~Win32TerminationRequests();

  Win32TerminationRequests(const Win32TerminationRequests&) = delete;
  Win32TerminationRequests& operator=(const Win32TerminationRequests&) = delete;

  // False when the handler could not be installed (the events then end the
  // process at once).
  bool ok() const { return installed_; }

  // The program has ended in order: a handler waiting for that returns.
  void Ended();

  // The console handler itself (what SetConsoleCtrlHandler installs):
  // TRUE when the event was handed to the active object, FALSE (the
  // system's default: end the process) when there is none.
  static BOOL WINAPI HandleConsoleEvent(DWORD event);

  struct State;

 private:
  std::shared_ptr<State> state_;
  bool installed_ = false;
};

}  // namespace orvik::platform

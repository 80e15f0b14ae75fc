// Win32MainLoop: the main loop on the Windows message loop (both Windows
// programs). A hidden message-only window of its own receives everything the
// loop runs: posted work (a queue under a lock, woken by PostMessage),
// timers (SetTimer on that window) and socket events (WSAAsyncSelect to that
// window). Run is the GetMessage / TranslateMessage / DispatchMessage loop,
// so the program's own windows are served by the same loop; dialogs
// registered with AddDialog get their keyboard navigation (IsDialogMessage).
//
// Construct, run and destroy it in the main thread; Post and Quit may be
// called from any thread. Its timers and socket
// watches must be destroyed before it.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "service/main_loop.h"

namespace orvik::service {

class Win32MainLoop : public MainLoop {
 public:
  // REQUIRES: WSAStartup has been called before sockets are watched.
  Win32MainLoop();
  ~Win32MainLoop() override;

  Win32MainLoop(const Win32MainLoop&) = delete;
  Win32MainLoop& operator=(const Win32MainLoop&) = delete;

  void Post(std::function<void()> work) override;
  std::unique_ptr<LoopTimer> MakeTimer(std::function<void()> work) override;
  std::unique_ptr<SocketWatch> WatchSocket(NativeSocket socket, std::function<void()> on_readable,
                                           std::function<void()> on_writable) override;
  void Run() override;
  void Quit() override;

  // Modeless dialogs whose keyboard messages (Tab, Enter, Esc) the loop
  // routes through IsDialogMessage. A dialog must be removed before it is
  // destroyed.
  void AddDialog(HWND dialog);
  void RemoveDialog(HWND dialog);

  // The loop's message-only window (for tests and for glue that needs one).
  HWND window() const { return window_; }

  // What the loop's timers and socket watches register with it; used by
  // their implementations in the .cpp only.
  struct TimerEntry;
  struct WatchEntry;
  UINT_PTR RegisterTimer(TimerEntry* timer);
  void UnregisterTimer(UINT_PTR id);
  void RegisterWatch(SOCKET socket, WatchEntry* watch);
  void UnregisterWatch(SOCKET socket);
  // Posts a "writable" notification for `socket` (FD_WRITE is edge-triggered).
  void PostWritableCheck(SOCKET socket);

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void RunOnePosted();
  void OnTimer(UINT_PTR id);
  void OnSocketEvent(SOCKET socket, WORD event);
  void OnWritableCheck(SOCKET socket);
  bool InMainThread() const;

  const DWORD main_thread_;
  HWND window_ = nullptr;
  bool quit_requested_ = false;  // main thread only

  std::mutex posted_mutex_;
  std::deque<std::function<void()>> posted_;  // guarded by posted_mutex_
  bool wake_pending_ = false;                 // guarded: one wake message in the queue

  UINT_PTR next_timer_id_ = 1;
  std::map<UINT_PTR, TimerEntry*> timers_;
  std::map<SOCKET, WatchEntry*> watches_;
  std::vector<HWND> dialogs_;
};

}  // namespace orvik::service

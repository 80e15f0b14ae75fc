// MainLoop: the main thread's event loop as the service layer sees it. The
// service, the time server and the programs are written against it; a thin
// backend implements it on each platform (a Qt event loop for the desktop
// program, the Windows message loop, an epoll loop for the headless
// program). Everything the loop runs (posted work, timers, socket
// notifications) runs in the main thread, one piece after another: no
// handler ever runs inside another.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

namespace orvik::service {

// A socket as the operating system names it: the descriptor on POSIX, the
// SOCKET handle on Windows.
using NativeSocket = std::intptr_t;

// A timer of the main loop. Created stopped; destroying it stops it.
class LoopTimer {
 public:
  virtual ~LoopTimer() = default;

  // Runs the timer's work every `interval` from now on; restarts a running timer.
  virtual void Start(std::chrono::milliseconds interval) = 0;
  // Runs the work once, `delay` from now; restarts a running timer.
  virtual void StartOnce(std::chrono::milliseconds delay) = 0;
  virtual void Stop() = 0;
  // True from Start until Stop, and from StartOnce until the work begins.
  virtual bool IsActive() const = 0;
};

// Watches one socket for the main loop. Destroying it stops the watch: no
// notification of it runs afterwards. It neither owns nor closes the socket.
class SocketWatch {
 public:
  virtual ~SocketWatch() = default;

  // Whether on_writable runs while the socket can take more bytes (off at
  // first: a socket is nearly always writable).
  virtual void WatchWritable(bool on) = 0;
};

class MainLoop {
 public:
  virtual ~MainLoop() = default;

  // Queues `work` to run in the main thread, from the loop, after what is
  // already pending. Any thread may call it; it never waits. Work still
  // queued when the loop is destroyed is dropped without running. (A thread
  // that must wait for its work hands it over through a HandOverBridge.)
  virtual void Post(std::function<void()> work) = 0;

  // A timer whose work runs in the main thread. The work may stop, restart
  // or destroy its own timer.
  virtual std::unique_ptr<LoopTimer> MakeTimer(std::function<void()> work) = 0;

  // Watches `socket` (non-blocking): `on_readable` runs while it has bytes
  // to read, a connection to accept, or its peer has closed or failed;
  // `on_writable` runs while the watch asks for it and the socket can take
  // bytes. Either may destroy the watch.
  virtual std::unique_ptr<SocketWatch> WatchSocket(NativeSocket socket,
                                                   std::function<void()> on_readable,
                                                   std::function<void()> on_writable) = 0;

  // Runs the loop until Quit is called (from the main thread, or from
  // another thread through Post).
  virtual void Run() = 0;
  // Makes Run return once the work running now has ended.
  virtual void Quit() = 0;
};

}  // namespace orvik::service

// EpollMainLoop: the main loop on Linux epoll, for the headless program (no
// Qt). One epoll set holds an eventfd that posted work rings and every
// watched socket (level-triggered: readable always, writable only while the
// watch asks for it); one wait lasts at most until the earliest timer is
// due. A pass costs what is ready, not what is watched, so thousands of idle
// clients do not slow a hand-over down. Each pass then runs, in order: the
// posted work that was queued when the pass began, the timers that were due,
// the socket notifications the wait returned.
//
// Timers and socket watches are registered under ids and tickets that are
// never reused, and each epoll entry carries its watch's id, not a pointer:
// a pass works from a snapshot and looks each one up again before it calls
// anything, so a timer or watch stopped, restarted or destroyed by an
// earlier callback of the same pass is never touched. The callbacks
// themselves are shared, so a callback may destroy its own timer or watch
// while it runs.
//
// A descriptor has one watch at a time: a new watch of a descriptor takes
// over from the one before, which then stays silent. A descriptor closed
// under its watch leaves the epoll set by itself; its watch stays silent and
// never disturbs a later watch of a descriptor that reuses the number.
//
// Only Post and Quit may be called from other threads;
// everything else, and the timers and watches, belong to the main thread
// (the thread that constructed the loop). Timers and watches may outlive the
// loop; they are then inert.
#pragma once

#include <memory>

#include "service/main_loop.h"

namespace orvik::service {

class EpollMainLoop : public MainLoop {
 public:
  // Throws std::system_error when the epoll set or the eventfd cannot be made.
  EpollMainLoop();
  ~EpollMainLoop() override;

  EpollMainLoop(const EpollMainLoop&) = delete;
  EpollMainLoop& operator=(const EpollMainLoop&) = delete;

  void Post(std::function<void()> work) override;
  std::unique_ptr<LoopTimer> MakeTimer(std::function<void()> work) override;
  std::unique_ptr<SocketWatch> WatchSocket(NativeSocket socket, std::function<void()> on_readable,
                                           std::function<void()> on_writable) override;
  void Run() override;
  void Quit() override;

  // The loop's state, shared with its timers and watches.
  struct Core;

 private:
  std::shared_ptr<Core> core_;
};

}  // namespace orvik::service

// PollMainLoop: the main loop on poll() alone, for the headless program on
// POSIX (no Qt). One ppoll() waits on an eventfd that posted work rings and
// on every watched socket, for at most the time until the earliest timer is
// due. Each pass then runs, in order: the posted work that was queued when
// the pass began, the timers that were due, the socket notifications.
//
// Timers and socket watches are registered under tickets that are never
// reused: a pass works from a snapshot of tickets and looks each one up again
// before it calls anything, so a timer or watch stopped, restarted or
// destroyed by an earlier callback of the same pass is never touched. The
// callbacks themselves are shared, so a callback may destroy its own timer or
// watch while it runs.
//
// Only Post, RunInMainThread and Quit may be called from other threads;
// everything else, and the timers and watches, belong to the main thread
// (the thread that constructed the loop). Timers and watches may outlive the
// loop; they are then inert.
#pragma once

#include <memory>

#include "service/main_loop.h"

namespace orvik::service {

class PollMainLoop : public MainLoop {
 public:
  // Throws std::system_error when the eventfd cannot be made.
  PollMainLoop();
  ~PollMainLoop() override;

  PollMainLoop(const PollMainLoop&) = delete;
  PollMainLoop& operator=(const PollMainLoop&) = delete;

  // From another thread, waits until the work has run, or until the loop is
  // destroyed with the work still queued (it then never runs).
  void RunInMainThread(const std::function<void()>& work) override;
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

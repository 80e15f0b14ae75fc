// PosixTerminationRequests: SIGTERM, SIGINT, SIGHUP and SIGQUIT as
// termination requests. A server has no terminal to reload from, so SIGHUP
// (its session ended) and SIGQUIT end it the same way as SIGTERM.
//
// The four signals are blocked for the whole process and read from a
// signalfd by a thread of this object, which hands each to the handler.
// REQUIRES: PrepareProcessSignals() ran in the main thread before any other
// thread was started (threads inherit the mask), or this object is
// constructed that early itself.
#pragma once

#include <thread>

#include "platform/posix/unique_fd.h"
#include "platform/termination_requests.h"

namespace orvik::platform {

// Readies a program's signals before any thread exists: blocks the
// termination signals above in the calling thread (every later thread
// inherits that, so only PosixTerminationRequests receives them), and
// ignores SIGPIPE (a closed stderr or a vanished client shows as a failed
// write instead of killing the server) and SIGUSR1 (no meaning here; its
// default action would end the program without an orderly stop).
void PrepareProcessSignals();

class PosixTerminationRequests : public TerminationRequests {
 public:
  PosixTerminationRequests();
  // Stops listening; no handler call runs afterwards.
  ~PosixTerminationRequests() override;

  PosixTerminationRequests(const PosixTerminationRequests&) = delete;
  PosixTerminationRequests& operator=(const PosixTerminationRequests&) = delete;

  void Listen(Handler handler) override;
  bool ok() const override { return signal_fd_.valid() && wake_fd_.valid(); }

 private:
  void Watch(const Handler& handler);

  UniqueFd signal_fd_;
  UniqueFd wake_fd_;  // an eventfd that ends the watch
  std::thread watcher_;
};

}  // namespace orvik::platform

// MainThreadBridge: runs a piece of work in the main (window) thread and
// waits until it has run. The acquisition thread uses it to hand over the
// time record for the clients and log lines, so that it never touches a
// socket or a widget itself.
#pragma once

#include <functional>

namespace orvik::service {

class MainThreadBridge {
 public:
  virtual ~MainThreadBridge() = default;

  // Runs `work` in the main thread and returns after it has run. Called from
  // the main thread itself, runs it directly.
  virtual void RunInMainThread(const std::function<void()>& work) = 0;
};

// Runs the work in the calling thread: for tests and for code that has no
// separate main thread.
class DirectBridge : public MainThreadBridge {
 public:
  void RunInMainThread(const std::function<void()>& work) override { work(); }
};

}  // namespace orvik::service

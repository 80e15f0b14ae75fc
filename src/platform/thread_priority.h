// ThreadPriority: raises the priority of the calling thread, so that a
// thread that must keep its timing runs as soon as its wait ends, even while
// other programs keep every processor busy. Each level is asked for
// separately; the caller chooses the order.
//
// Threads: EnablePriorityRights in the thread that later starts the threads
// to be raised; the Raise calls in the thread to be raised.
#pragma once

#include <optional>
#include <string>

namespace orvik::platform {

class ThreadPriority {
 public:
  virtual ~ThreadPriority() = default;

  // Switches on the right to raise priorities where the process holds it,
  // for the calling thread and the threads it starts later. Failure is
  // silent: the Raise calls then refuse.
  virtual void EnablePriorityRights() = 0;
  // Runs the calling thread under real-time scheduling at a low real-time
  // priority. Returns the level it runs at, in words for the operator, or
  // nullopt, the thread left as it was, where the process may not.
  virtual std::optional<std::string> RaiseToRealTime() = 0;
  // Raises the calling thread above normal threads within the ordinary
  // scheduling. Returns the level in words, or nullopt, the thread left as
  // it was, where the process may not.
  virtual std::optional<std::string> RaiseWithinNormal() = 0;
};

}  // namespace orvik::platform

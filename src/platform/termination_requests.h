// TerminationRequests: the operating system asks the program to end (a
// signal on POSIX, a console event on Windows). The program turns each
// request into work for its main loop, so it ends in order (stop the
// acquisition, write "Stop", close the clients) instead of dying in the
// middle of a write.
#pragma once

#include <functional>

namespace orvik::platform {

class TerminationRequests {
 public:
  // Receives one request; `code` tells which (the signal number on POSIX).
  // Runs in a thread of the implementation's own: hand it on, never block.
  using Handler = std::function<void(int code)>;

  virtual ~TerminationRequests() = default;

  // Delivers every request from now on to `handler`. Once only.
  virtual void Listen(Handler handler) = 0;
  // False when the requests could not be routed (they then keep their
  // default effect: the process ends at once).
  virtual bool ok() const = 0;
};

}  // namespace orvik::platform

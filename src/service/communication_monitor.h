// CommunicationMonitor: the 3-second check of the headless program. Once
// per period it takes the shared communication check (the one the status
// window's tick takes too) and returns a status line when the state changed: "receiving (...)",
// "receiving, no satellites (...)" or "No communication!", and a line of its
// own whenever the clock-keeping state changes ("PC clock not set: <reason>",
// or "PC clock set from the receiver again" once it is kept again), and why
// the receiver port cannot be opened whenever that reason changes. Main
// thread.
#pragma once

#include <string>
#include <vector>

#include "service/shared_state.h"

namespace orvik::service {

class CommunicationMonitor {
 public:
  // One line of what changed; `loss`: something was lost (no communication,
  // the port not opened, the clock not set), which a system log keeps.
  struct Line {
    std::string text;
    bool loss = false;
  };
  // One period's check. Returns the lines of what changed since the last
  // check: nothing while the states are the ones already reported.
  std::vector<Line> Tick(SharedState& shared);

 private:
  std::string last_state_;
  std::string last_port_problem_;
  std::string last_clock_problem_;
};

}  // namespace orvik::service

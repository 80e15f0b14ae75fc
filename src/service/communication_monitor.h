// CommunicationMonitor: the status lines of the headless program. From each
// snapshot of the service's communication check it returns a status line
// when the state changed: "receiving (...)",
// "receiving, no satellites (...)" or "No communication!", and a line of its
// own whenever the clock-keeping state changes ("PC clock not set: <reason>",
// or "PC clock set from the receiver again" once it is kept again), and why
// the receiver port cannot be opened whenever that reason changes. Main
// thread.
#pragma once

#include <string>
#include <vector>

#include "service/status_snapshot.h"

namespace orvik::service {

class CommunicationMonitor {
 public:
  // One line of what changed; `loss`: something was lost (no communication,
  // the port not opened, the clock not set), which a system log keeps.
  struct Line {
    std::string text;
    bool loss = false;
  };
  // One period's snapshot. Returns the lines of what changed since the last
  // one: nothing while the states are the ones already reported.
  std::vector<Line> Tick(const StatusSnapshot& snapshot);

 private:
  std::string last_state_;
  std::string last_port_problem_;
  std::string last_clock_problem_;
};

}  // namespace orvik::service

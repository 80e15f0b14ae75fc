// CommunicationMonitor: the 3-second check of the headless program. Once
// per period it tells whether the receiver delivered an accepted time
// message since the last check, clears the mark for the next period, and
// returns a status line when the state changed: "receiving (...)",
// "receiving, no satellites (...)" or "No communication!", followed by
// "; PC clock not set: <reason>" while the clock is not being kept. Main
// thread.
#pragma once

#include <optional>
#include <string>

#include "service/shared_state.h"

namespace orvik::service {

class CommunicationMonitor {
 public:
  // One period's check. Returns the new state's line, or nullopt when the
  // state is the one already reported.
  std::optional<std::string> Tick(SharedState& shared);

 private:
  std::string last_state_;
};

}  // namespace orvik::service

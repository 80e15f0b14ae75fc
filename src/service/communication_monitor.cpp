#include "service/communication_monitor.h"

namespace orvik::service {

std::optional<std::string> CommunicationMonitor::Tick(SharedState& shared) {
  const bool seen = shared.display.DataSeenFlag.exchange(false);
  std::string state = "No communication!";
  if (seen) state = shared.display.NoSatFlag ? "receiving, no satellites" : "receiving";
  if (state == last_state_) return std::nullopt;
  last_state_ = state;
  if (!seen) return state;
  const DisplayTexts texts = shared.display.Texts();
  return state + " (" + texts.TimeText + " " + texts.DateText + ", satellites " + texts.SatText +
         ")";
}

}  // namespace orvik::service

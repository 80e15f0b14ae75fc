#include "service/communication_monitor.h"

namespace orvik::service {

std::optional<std::string> CommunicationMonitor::Tick(SharedState& shared) {
  const bool seen = shared.display.DataSeenFlag.exchange(false);
  std::string state = "No communication!";
  if (seen) state = shared.display.NoSatFlag ? "receiving, no satellites" : "receiving";
  // While the clock is not being kept, every state says so.
  const std::string clock_problem = shared.clock_keeping.Problem();
  if (!clock_problem.empty()) state += "; " + clock_problem;
  if (state == last_state_) return std::nullopt;
  last_state_ = state;
  if (!seen) return state;
  const DisplayTexts texts = shared.display.Texts();
  const std::size_t reading_end = state.find(';');
  return state.substr(0, reading_end) + " (" + texts.TimeText + " " + texts.DateText +
         ", satellites " + texts.SatText + ")" +
         (reading_end == std::string::npos ? "" : state.substr(reading_end));
}

}  // namespace orvik::service

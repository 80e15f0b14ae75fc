#include "service/communication_monitor.h"

namespace orvik::service {

std::vector<CommunicationMonitor::Line> CommunicationMonitor::Tick(SharedState& shared) {
  std::vector<Line> lines;
  const DisplayState::CommunicationPeriod period = shared.display.TakeCommunicationPeriod();
  std::string state = "No communication!";
  if (period.receiving) state = period.no_satellites ? "receiving, no satellites" : "receiving";
  if (state != last_state_) {
    last_state_ = state;
    if (period.receiving) {
      const core::DisplayTexts texts = shared.display.Texts();
      state += " (" + texts.TimeText + " " + texts.DateText + ", satellites " + texts.SatText + ")";
    }
    lines.push_back({state, !period.receiving});
  }
  const std::string port = shared.receiver_port.Problem();
  if (port != last_port_problem_) {
    // Once the port opens, the receiving state says the rest.
    if (!port.empty()) lines.push_back({port, true});
    last_port_problem_ = port;
  }
  const std::string problem = shared.clock_keeping.Problem();
  if (problem != last_clock_problem_) {
    lines.push_back(problem.empty() ? Line{"PC clock set from the receiver again", false}
                                    : Line{problem, true});
    last_clock_problem_ = problem;
  }
  return lines;
}

}  // namespace orvik::service

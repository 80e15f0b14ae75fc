#include "service/communication_monitor.h"

namespace orvik::service {

std::vector<CommunicationMonitor::Line> CommunicationMonitor::Tick(const StatusSnapshot& snapshot) {
  std::vector<Line> lines;
  std::string state = "No communication!";
  if (snapshot.receiving) state = snapshot.no_satellites ? "receiving, no satellites" : "receiving";
  if (state != last_state_) {
    last_state_ = state;
    if (snapshot.receiving) {
      const core::DisplayTexts& texts = snapshot.texts;
      state += " (" + texts.TimeText + " " + texts.DateText + ", satellites " + texts.SatText + ")";
    }
    lines.push_back({state, !snapshot.receiving});
  }
  const std::string& port = snapshot.receiver_port_problem;
  if (port != last_port_problem_) {
    // Once the port opens, the receiving state says the rest.
    if (!port.empty()) lines.push_back({port, true});
    last_port_problem_ = port;
  }
  const std::string& problem = snapshot.clock_problem;
  if (problem != last_clock_problem_) {
    lines.push_back(problem.empty() ? Line{"PC clock set from the receiver again", false}
                                    : Line{problem, true});
    last_clock_problem_ = problem;
  }
  return lines;
}

}  // namespace orvik::service

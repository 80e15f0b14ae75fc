#include "ui/logic/status_display.h"

#include <utility>

#include "ui/logic/tray_tip.h"

namespace orvik::ui {

DisplayTickResult StatusDisplay::DisplayTick(const service::StatusSnapshot& snapshot) {
  latest_ = snapshot;
  DisplayTickResult result;
  if (notification_area_ && hide_countdown_ > 0) {
    --hide_countdown_;
    result.hide_windows = hide_countdown_ == 0;
  }
  if (snapshot.new_texts) result.texts = snapshot.texts;
  for (const std::string* problem :
       {&snapshot.receiver_port_problem, &snapshot.clock_problem, &snapshot.lan_problem}) {
    if (problem->empty()) continue;
    if (!result.warning_lines.empty()) result.warning_lines += '\n';
    result.warning_lines += *problem;
  }
  return result;
}

CommunicationTickResult StatusDisplay::CommunicationTick(const service::StatusSnapshot& snapshot,
                                                         bool sound_disabled) {
  latest_ = snapshot;
  CommunicationTickResult result;
  result.no_satellite = snapshot.no_satellites;
  result.no_communication = !snapshot.receiving;
  const bool alarm = result.no_satellite || result.no_communication;
  result.beep = alarm && sound_on_ && !sound_disabled;
  return result;
}

std::string StatusDisplay::TrayTip() const {
  return TrayTipFor(latest_.communication_checked, latest_.receiving, latest_.clock_problem, kept_);
}

std::string StatusDisplay::StartupCompleted() { return std::exchange(shown_startup_error_, {}); }

}  // namespace orvik::ui

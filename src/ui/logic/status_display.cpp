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
  UpdateTip();
  return result;
}

CommunicationTickResult StatusDisplay::CommunicationTick(const service::StatusSnapshot& snapshot) {
  latest_ = snapshot;
  CommunicationTickResult result;
  result.no_satellite = snapshot.no_satellites;
  result.no_communication = !snapshot.receiving;
  const bool alarm = result.no_satellite || result.no_communication;
  const bool sound_disabled = hooks_.sound_disabled && hooks_.sound_disabled();
  result.beep = alarm && sound_on_ && !sound_disabled;
  if (result.beep && hooks_.beep) hooks_.beep();
  UpdateTip();
  return result;
}

void StatusDisplay::RunCommand(const std::function<core::Status()>& command) const {
  if (!command) return;
  if (const core::Status sent = command(); !sent.ok() && hooks_.report) {
    hooks_.report(sent.message());
  }
}

void StatusDisplay::StartupFailed(const std::string& message) {
  shown_startup_error_ = message;
  if (hooks_.report) hooks_.report(message);
}

void StatusDisplay::StartupCompleted() {
  // The error of an earlier start-up no longer holds.
  const std::string shown = std::exchange(shown_startup_error_, {});
  if (!shown.empty() && hooks_.withdraw) hooks_.withdraw(shown);
}

void StatusDisplay::UpdateTip() {
  std::string tip = TrayTip();
  if (tip == tip_) return;
  tip_ = std::move(tip);
  if (hooks_.tip_changed) hooks_.tip_changed(tip_);
}

std::string StatusDisplay::TrayTip() const {
  return TrayTipFor(latest_.communication_checked, latest_.receiving, latest_.clock_problem, kept_);
}

}  // namespace orvik::ui

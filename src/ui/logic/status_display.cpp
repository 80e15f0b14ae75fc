#include "ui/logic/status_display.h"

#include <utility>

#include "ui/logic/tray_tip.h"

namespace orvik::ui {

DisplayTickResult StatusDisplay::DisplayTick(bool summer_switched) {
  DisplayTickResult result;
  // A summer/zone switch takes the whole tick; the display waits for the next.
  if (summer_switched) {
    result.skipped = true;
    return result;
  }
  if (notification_area_ && hide_countdown_ > 0) {
    --hide_countdown_;
    result.hide_windows = hide_countdown_ == 0;
  }
  service::DisplayState& display = shared_.display;
  if (display.NewDisplayFlag.exchange(false)) result.texts = display.Texts();
  clock_problem_ = shared_.clock_keeping.Problem();
  for (const std::string& problem :
       {shared_.receiver_port.Problem(), clock_problem_, shared_.lan_service.Problem()}) {
    if (problem.empty()) continue;
    if (!result.warning_lines.empty()) result.warning_lines += '\n';
    result.warning_lines += problem;
  }
  return result;
}

CommunicationTickResult StatusDisplay::CommunicationTick(bool sound_disabled) {
  const service::DisplayState::CommunicationPeriod period =
      shared_.display.TakeCommunicationPeriod();
  CommunicationTickResult result;
  result.no_satellite = period.no_satellites;
  result.no_communication = !period.receiving;
  communication_checked_ = true;
  communicating_ = period.receiving;
  const bool alarm = result.no_satellite || result.no_communication;
  result.beep = alarm && sound_on_ && !sound_disabled;
  return result;
}

std::string StatusDisplay::TrayTip() const {
  return TrayTipFor(communication_checked_, communicating_, clock_problem_, kept_);
}

std::string StatusDisplay::StartupCompleted() { return std::exchange(shown_startup_error_, {}); }

}  // namespace orvik::ui

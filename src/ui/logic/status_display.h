// StatusDisplay: what the status window shows and decides, apart from how it
// draws it: the receiver's texts after each display tick, the warning line
// (receiver port, clock keeping, a full LAN service), the "No
// communication!" warning, the no-satellite bar and the beep of each
// communication period, "Sound Off",
// when the windows hide themselves, what the close box does and which
// start-up error is to be taken back, and what the notification icon's
// tooltip says.
// A window of any toolkit feeds it its two timers' ticks and shows the
// results. Main thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "service/shared_state.h"

namespace orvik::ui {

struct DisplayTickResult {
  bool skipped = false;                     // a summer/zone switch took the whole tick
  bool hide_windows = false;                // the status and main windows hide now
  std::optional<core::DisplayTexts> texts;  // new receiver texts to show
  // The warning line, one sentence a line: why the receiver port is not
  // open, why the PC clock is not kept, that the LAN service is full.
  // Empty: hide it.
  std::string warning_lines;
};

struct CommunicationTickResult {
  bool no_communication = false;  // show "No communication!"
  bool no_satellite = false;      // show the red bar
  bool beep = false;
};

class StatusDisplay {
 public:
  // `notification_area`: an icon exists, so the windows hide two display
  // ticks after start and the close box only hides.
  StatusDisplay(service::SharedState& shared, bool notification_area)
      : shared_(shared), notification_area_(notification_area) {}

  // The 1-second tick; `summer_switched`: the service's summer/zone check
  // switched during this tick.
  DisplayTickResult DisplayTick(bool summer_switched);
  // The 3-second tick: one period of the shared communication check.
  CommunicationTickResult CommunicationTick(bool sound_disabled);

  void SoundOff() { sound_on_ = false; }
  // False once "Sound Off" was pressed; nothing sets it again.
  bool SoundOn() const { return sound_on_; }

  // A notification area appeared: the close box hides from now on, and the
  // windows hide as at a start with one (unless they already did).
  void MoveIntoNotificationArea() { notification_area_ = true; }
  // Without a notification area a hidden status window could never be shown
  // again, so its close box ends the program instead.
  bool CloseEndsProgram() const { return !notification_area_; }

  // A start-up sequence failed with `message`, shown to the operator.
  void StartupFailed(std::string message) { shown_startup_error_ = std::move(message); }
  // A start-up sequence completed: returns the error shown before, to be
  // taken back (empty: none), once.
  std::string StartupCompleted();

  // The notification icon's tooltip for what the last ticks found (see
  // TrayTipFor).
  std::string TrayTip() const;
  // Who keeps the clock, as the tooltip says it while the time comes in
  // without a problem: "clock kept" unless set.
  void SetClockKeeper(std::string kept) { kept_ = std::move(kept); }

 private:
  service::SharedState& shared_;
  bool notification_area_;
  bool sound_on_ = true;
  std::uint8_t hide_countdown_ = 2;  // ticks left before the windows hide; never re-armed
  std::string shown_startup_error_;  // reported and not yet taken back
  bool communication_checked_ = false;
  bool communicating_ = false;  // at the last communication tick
  std::string clock_problem_;   // at the last display tick
  std::string kept_ = "clock kept";
};

}  // namespace orvik::ui

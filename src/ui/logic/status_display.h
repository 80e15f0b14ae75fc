// StatusDisplay: what the status window shows and decides, apart from how it
// draws it: the receiver's texts of each display snapshot, the warning line
// (receiver port, clock keeping, a full LAN service), the "No
// communication!" warning, the no-satellite bar and the beep of each
// communication snapshot, "Sound Off", when the windows hide themselves,
// what the close box does and which start-up error is to be taken back, and
// what the notification icon's tooltip says.
// A window of any toolkit feeds it the service's status snapshots and shows
// the results; what goes to the rest of the program (the beep, errors
// reported and taken back, the receiver commands, the tooltip) it hands to
// the window's hooks itself. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "core/status.h"
#include "service/status_snapshot.h"
#include "ui/logic/desktop_hooks.h"

namespace orvik::ui {

struct DisplayTickResult {
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
  bool beep = false;              // a beep sounded (through the hook)
};

class StatusDisplay {
 public:
  // `hooks` (the window's, which must outlive this object): with
  // notification_area, the windows hide two display ticks after start and
  // the close box only hides.
  explicit StatusDisplay(const StatusWindowHooks& hooks)
      : hooks_(hooks), notification_area_(hooks.notification_area) {}

  // A display tick's snapshot.
  DisplayTickResult DisplayTick(const service::StatusSnapshot& snapshot);
  // A communication check's snapshot; beeps through the hook unless the
  // setting or "Sound Off" silences it.
  CommunicationTickResult CommunicationTick(const service::StatusSnapshot& snapshot);
  // Runs a receiver command ("GMT difference", "Time transm. interval");
  // one the receiver cannot take is reported to the operator.
  void RunCommand(const std::function<core::Status()>& command) const;

  void SoundOff() { sound_on_ = false; }
  // False once "Sound Off" was pressed; nothing sets it again.
  bool SoundOn() const { return sound_on_; }

  // A notification area appeared: the close box hides from now on, and the
  // windows hide as at a start with one (unless they already did).
  void MoveIntoNotificationArea() { notification_area_ = true; }
  // Without a notification area a hidden status window could never be shown
  // again, so its close box ends the program instead.
  bool CloseEndsProgram() const { return !notification_area_; }

  // A start-up sequence failed with `message`: reported to the operator.
  void StartupFailed(const std::string& message);
  // A start-up sequence completed: the error reported before, if any, is
  // taken back, once.
  void StartupCompleted();

  // The notification icon's tooltip for the latest snapshot (see
  // TrayTipFor).
  std::string TrayTip() const;
  // Who keeps the clock, as the tooltip says it while the time comes in
  // without a problem: "clock kept" unless set.
  void SetClockKeeper(std::string kept) { kept_ = std::move(kept); }

 private:
  // Tells the tooltip hook when the text changed.
  void UpdateTip();

  const StatusWindowHooks& hooks_;
  bool notification_area_;
  bool sound_on_ = true;
  std::uint8_t hide_countdown_ = 2;  // ticks left before the windows hide; never re-armed
  std::string shown_startup_error_;  // reported and not yet taken back
  service::StatusSnapshot latest_;   // the tooltip's state
  std::string kept_ = "clock kept";
  std::string tip_;  // told last
};

}  // namespace orvik::ui

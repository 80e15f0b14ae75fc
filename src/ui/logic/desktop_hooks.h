// What the windows of the desktop program need of the rest of it, the same
// for the windows of either toolkit (Qt on Linux, Win32 on Windows). The
// program that builds the windows fills them: it forwards the operator's
// commands to the service and the service's status to the windows, so no
// window knows how the service is built. Main thread only.
#pragma once

#include <functional>
#include <string>

#include "core/status.h"

namespace orvik::ui {

// The status window's.
struct StatusWindowHooks {
  std::function<bool()> sound_disabled{};              // the setting that silences every beep
  std::function<core::Status()> gmt_offset{};          // "GMT difference"
  std::function<core::Status()> transmit_interval{};   // "Time transm. interval"
  std::function<void(const std::string&)> report{};    // shows an error to the operator
  std::function<void(const std::string&)> withdraw{};  // takes a shown start-up error back
  std::function<void()> beep{};                        // one simple system beep
  // A notification-area icon exists: the window hides itself on the second
  // display tick and its close box only hides it. Without one, closing it
  // ends the program (nothing else could show it again).
  bool notification_area = true;
  std::function<void()> hide_main_form{};  // hides the hidden main window too
  std::function<void()> end_program{};     // used only without a notification area
  std::function<void()> show_setup{};
  std::function<void()> show_connections{};
  std::function<void()> show_about{};
  // The notification icon's tooltip has a new text (see StatusDisplay::TrayTip).
  std::function<void(const std::string&)> tip_changed{};
};

// The hidden main window's, which owns the notification-area icon.
struct TrayOwnerHooks {
  std::function<void()> stop_acquisition{};  // "Exit": before the program ends
  std::function<void()> quit{};              // ends the main loop
  // The session ends (log-off, shut-down): the system ends the process as
  // soon as the window returns, so this must end the program's work now.
  std::function<void()> end_session{};
  // Runs once when a notification area that was missing took the icon.
  std::function<void()> notification_area_appeared{};
};

}  // namespace orvik::ui

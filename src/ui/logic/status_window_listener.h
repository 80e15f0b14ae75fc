// The service's events as both desktop programs hand them to their status
// window (Qt or Win32): start-up errors, the "Commands to GPS" menu,
// completed start-ups and every status snapshot. Main thread only.
#pragma once

#include <string>

#include "service/service_events.h"
#include "service/status_snapshot.h"

namespace orvik::ui {

// `window` must outlive the subscription made with the listener.
template <typename StatusWindow>
service::ServiceListener StatusWindowListener(StatusWindow& window) {
  return service::ServiceListener{
      .startup_failed = [&window](const std::string& message) { window.StartupFailed(message); },
      // The status window shows what matters of the notices under the
      // satellite counts, for as long as it holds.
      .notice = {},
      .commands_menu_enabled_changed =
          [&window](bool enabled) { window.SetCommandsMenuEnabled(enabled); },
      // A restart ended (from the watchdog, the setup dialog or the queue).
      .restart_finished =
          [&window](bool started) {
            if (started) window.StartupCompleted();
          },
      .status = [&window](const service::StatusSnapshot& snapshot) { window.ShowStatus(snapshot); },
  };
}

}  // namespace orvik::ui

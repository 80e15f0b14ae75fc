// How both desktop programs (Qt and Win32) connect their windows to the
// service: the service's events handed to the status window, and the setup
// dialog's edits handed to the service. Main thread only.
#pragma once

#include <functional>
#include <string>
#include <utility>

#include "core/settings.h"
#include "core/status.h"
#include "service/gps_time_service.h"
#include "service/service_events.h"
#include "service/status_snapshot.h"
#include "ui/logic/setup_form.h"

namespace orvik::ui {

// Start-up errors, the "Commands to GPS" menu, completed start-ups and every
// status snapshot, for the status window.

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

// The setup dialog's hooks on `service` (which must outlive them): the
// settings shown, and the edits saved with a restart; `report` and
// `withdraw` show and take back a failed save. Every restart, this one
// included, tells the status window through restart_finished.
inline SetupFormHooks ServiceSetupHooks(service::GpsTimeService& service,
                                        std::function<void(const std::string&)> report,
                                        std::function<void(const std::string&)> withdraw) {
  return SetupFormHooks{
      .settings = [&service]() -> const core::Settings& { return service.settings(); },
      .apply_settings =
          [&service](const core::Settings& edited, std::function<void()> restarted) {
            return service.ApplySettings(edited,
                                         [restarted = std::move(restarted)](const core::Status&) {
                                           if (restarted) restarted();
                                         });
          },
      .report = std::move(report),
      .withdraw = std::move(withdraw),
      .after_apply = {},
  };
}

}  // namespace orvik::ui

// ServiceViewProgram: the desktop program while the time service runs on
// this PC. The service reads the receiver, keeps the clock and serves the
// LAN; this program starts no acquisition of its own. Its status window and
// icon show the service's time, date and satellites from the service's
// records on 127.0.0.1 (ServiceRecordClient), with the usual warnings and
// beeps, on the display tick and the communication check that this program
// runs itself on the state the records fill (StatusTicks, from its start:
// the service has started); the line under the satellites says that the
// service keeps the clock. The setup dialog edits the service's settings file and restarts
// the service (ServiceSettings), or says why it could not. The receiver
// commands and the Connections window are the service's: their menu items
// are grey. "Exit" ends this program only.
//
// The program's main() makes one on the Windows main loop and runs the
// loop; tests make one on test doubles. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/text_files.h"
#include "platform/com_port_list.h"
#include "platform/service_control.h"
#include "platform/system_clock.h"
#include "service/shared_state.h"
#include "service/status_ticks.h"
#include "service/win32/service_record_client.h"
#include "service/win32/win32_main_loop.h"
#include "ui/logic/service_settings.h"
#include "ui/win32/about_window.h"
#include "ui/win32/desktop_program.h"
#include "ui/win32/error_box.h"
#include "ui/win32/program_icon.h"
#include "ui/win32/setup_dialog.h"
#include "ui/win32/status_window.h"
#include "ui/win32/tray_owner.h"

namespace orvik::ui::win32 {

// What the status window says beside the service, and the tooltip.
inline constexpr const char* kServiceKeepsClockNote =
    "The Orvik GPS Time service keeps this PC's clock.";
inline constexpr const char* kServiceKeepsClockTip = "the service keeps the clock";

struct ServiceViewEnvironment {
  service::Win32MainLoop& loop;
  platform::ServiceControl& service;
  core::TextFiles& service_files;  // the service's data folder
  platform::SystemClock& clock;    // dates the settings' summer switch days
  std::uint16_t port = 1609;       // the service's records on 127.0.0.1
};

class ServiceViewProgram {
 public:
  // Builds the windows, adds the icon and connects to the service.
  // Everything in `env` must outlive this object.
  explicit ServiceViewProgram(ServiceViewEnvironment env, DesktopOptions options = {});
  ~ServiceViewProgram();

  ServiceViewProgram(const ServiceViewProgram&) = delete;
  ServiceViewProgram& operator=(const ServiceViewProgram&) = delete;

  void Exit() { tray_.Exit1Click(); }

  TrayOwner& trayOwner() { return tray_; }
  StatusWindow& statusWindow() { return status_; }
  SetupDialog& setupDialog() { return setup_; }
  ErrorBox& errorBox() { return errors_; }
  std::uint64_t records() const { return client_.records(); }

 private:
  TrayOwnerHooks TrayHooks();
  StatusWindowHooks StatusHooks();
  SetupFormHooks SetupHooks();

  const ServiceViewEnvironment env_;
  const DesktopOptions options_;
  service::SharedState shared_;
  ServiceSettings settings_;
  const UniqueIcon icon_;
  // The machine's ports, when the options named no list.
  const std::unique_ptr<platform::ComPortList> machine_ports_;
  ErrorBox errors_;
  TrayOwner tray_;       // TForm5
  StatusWindow status_;  // TForm2
  SetupDialog setup_;    // TForm1
  AboutWindow about_;    // TForm3
  service::ServiceRecordClient client_;
  service::StatusTicks ticks_;  // shows what the records filled in
};

}  // namespace orvik::ui::win32

// DesktopProgram: the Win32 windows of the desktop program, created in their
// fixed order and wired to the running system: the hidden main window with
// the notification-area icon first (whether the notification area took the
// icon decides how the status window behaves), then the status window, the
// setup dialog, the About and Connections windows and the error box. Then it
// starts the service (its periods and the start-up sequence; a failed one is
// reported in the error box and tried again by the service's watchdog). It
// forwards what the service tells to the windows and the operator's commands
// to the service, as the Qt program does. "Exit" (or closing the status
// window where there is no notification area) ends the service's periods,
// takes the icon away and ends the main loop once the acquisition has ended.
//
// The program's main() makes one on the Windows main loop and runs the loop;
// tests make one on test doubles. Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/com_port_list.h"
#include "service/gps_time_service.h"
#include "service/service_events.h"
#include "service/time_server.h"
#include "service/win32/win32_main_loop.h"
#include "ui/win32/about_window.h"
#include "ui/win32/connections_window.h"
#include "ui/win32/error_box.h"
#include "ui/win32/program_icon.h"
#include "ui/win32/setup_dialog.h"
#include "ui/win32/status_window.h"
#include "ui/win32/tray_owner.h"

namespace orvik::ui::win32 {

struct DesktopOptions {
  // One simple system beep; unset: MessageBeep.
  std::function<void()> beep;
  // Ends the main loop once "Exit" has stopped the acquisition; unset: the
  // loop's Quit.
  std::function<void()> quit;
  // The serial ports the setup dialog offers; unset: the machine's. Must
  // outlive the program.
  const platform::ComPortList* ports = nullptr;
};

class DesktopProgram : private service::ClientViewObserver {
 public:
  // Builds the windows, adds the icon, starts the service and shows
  // what is in sight at start: the icon and the small main window, or,
  // without a notification area, the status window. `service` and `loop`
  // must outlive this object.
  DesktopProgram(service::GpsTimeService& service, service::Win32MainLoop& loop,
                 DesktopOptions options = {});
  ~DesktopProgram() override;

  DesktopProgram(const DesktopProgram&) = delete;
  DesktopProgram& operator=(const DesktopProgram&) = delete;

  // "Exit": ends the service and the program in order; once.
  void Exit() { tray_.Exit1Click(); }

  TrayOwner& trayOwner() { return tray_; }
  StatusWindow& statusWindow() { return status_; }
  SetupDialog& setupDialog() { return setup_; }
  AboutWindow& aboutWindow() { return about_; }
  ConnectionsWindow& connectionsWindow() { return connections_; }
  ErrorBox& errorBox() { return errors_; }

 private:
  // service::ClientViewObserver
  void ClientTableChanged(const service::ClientTable& table) override;

  TrayOwnerHooks TrayHooks();
  StatusWindowHooks StatusHooks();
  SetupFormHooks SetupHooks();

  service::GpsTimeService& service_;
  service::Win32MainLoop& loop_;
  const DesktopOptions options_;
  const UniqueIcon icon_;
  // The machine's ports, when the options named no list.
  const std::unique_ptr<platform::ComPortList> machine_ports_;
  ErrorBox errors_;
  TrayOwner tray_;                 // TForm5
  StatusWindow status_;            // TForm2
  SetupDialog setup_;              // TForm1
  AboutWindow about_;              // TForm3
  ConnectionsWindow connections_;  // TForm4
  service::ServiceEvents::Subscription subscription_;
};

}  // namespace orvik::ui::win32

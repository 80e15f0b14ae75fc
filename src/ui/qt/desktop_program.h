// DesktopProgram: the windows of the desktop program, created in their fixed
// order and wired to the running system: the hidden main window with the
// notification-area icon, the status window, the setup dialog, the About
// window and the Connections window. Then it starts the service (the
// start-up sequence; a failed one is reported and tried again by the
// service's watchdog). It forwards what the service tells to the windows
// and the operator's commands to the service, as the Win32 program does.
// The program's main() makes one and runs the event loop; tests make one on
// test doubles. Main thread only.
#pragma once

#include <QSystemTrayIcon>
#include <functional>
#include <memory>
#include <optional>

#include "platform/com_port_list.h"
#include "service/gps_time_service.h"
#include "ui/qt/about_window.h"
#include "ui/qt/connections_window.h"
#include "ui/qt/message_box_reporter.h"
#include "ui/qt/setup_dialog.h"
#include "ui/qt/status_window.h"
#include "ui/qt/tray_owner.h"

namespace orvik::ui {

struct DesktopOptions {
  // Whether a notification area exists at start; unset: ask the desktop.
  std::optional<bool> notification_area;
  // Whether one exists now, asked while there is none so that the program
  // moves into one that appears later; unset: ask the desktop.
  std::function<bool()> notification_area_available;
  // Shows an error message; unset: a message box that does not block.
  OperatorReporter report;
  // Takes back a message whose cause is gone; unset: the message box closes
  // if it still shows it (nothing when `report` is given alone).
  OperatorWithdrawal withdraw;
  // One simple system beep; unset: QApplication::beep().
  std::function<void()> beep;
  // Ends the event loop; unset: QCoreApplication::quit().
  std::function<void()> quit;
  // The serial ports the setup dialog offers; unset: the machine's, for the
  // working folder ".". Must outlive the program.
  const platform::ComPortList* ports = nullptr;
};

class DesktopProgram {
 public:
  // Creates the five windows in order, then starts the service. `service`
  // must outlive this object.
  DesktopProgram(service::GpsTimeService& service, DesktopOptions options = {});
  ~DesktopProgram();

  DesktopProgram(const DesktopProgram&) = delete;
  DesktopProgram& operator=(const DesktopProgram&) = delete;

  // What is in sight at start: the icon and the small main window, or,
  // without a notification area, the status window.
  void ShowAtStart();

  // Whether the program lives in a notification area (at start, or since
  // one appeared).
  bool HasNotificationArea() const { return notification_area_; }
  TrayOwner& trayOwner() { return tray_; }
  StatusWindow& statusWindow() { return status_; }
  SetupDialog& setupDialog() { return setup_; }
  AboutWindow& aboutWindow() { return about_; }
  ConnectionsWindow& connectionsWindow() { return connections_; }

 private:
  static void ShowWindow(QWidget& window);
  OperatorReporter Reporter();
  OperatorWithdrawal Withdrawal();
  TrayOwnerHooks TrayHooks();
  StatusWindowHooks StatusHooks();

  service::GpsTimeService& service_;
  bool notification_area_;
  DesktopOptions options_;
  std::unique_ptr<MessageBoxReporter> boxes_;             // when no reporter was given
  std::unique_ptr<platform::ComPortList> machine_ports_;  // when no list was given
  TrayOwner tray_;                                        // TForm5
  StatusWindow status_;                                   // TForm2
  SetupDialog setup_;                                     // TForm1
  AboutWindow about_;                                     // TForm3
  ConnectionsWindow connections_;                         // TForm4
  service::ServiceEvents::Subscription subscription_;
};

}  // namespace orvik::ui

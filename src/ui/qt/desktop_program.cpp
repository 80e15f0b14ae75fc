#include "ui/qt/desktop_program.h"

#include <QApplication>
#include <utility>

namespace orvik::ui {

namespace {

bool AskForNotificationArea(const DesktopOptions& options) {
  if (options.notification_area.has_value()) return *options.notification_area;
  return options.notification_area_available ? options.notification_area_available()
                                             : QSystemTrayIcon::isSystemTrayAvailable();
}

}  // namespace

DesktopProgram::DesktopProgram(service::GpsTimeService& service, DesktopOptions options)
    : notification_area_(AskForNotificationArea(options)),
      options_(std::move(options)),
      boxes_(options_.report ? nullptr : std::make_unique<MessageBoxReporter>()),
      machine_ports_(options_.ports != nullptr ? nullptr : platform::MachineComPortList(".")),
      tray_(service, TrayOwnerHooks{
                         .notification_area = notification_area_,
                         .quit = options_.quit ? options_.quit : [] { QCoreApplication::quit(); },
                         .after_watchdog = [this] { status_.SyncDisplayTimer(); },
                         .notification_area_available = options_.notification_area_available,
                         .notification_area_appeared =
                             [this] {
                               notification_area_ = true;
                               status_.MoveIntoNotificationArea();
                             },
                     }),
      status_(service, StatusWindowHooks{
                           .report = Reporter(),
                           .withdraw = Withdrawal(),
                           .beep = options_.beep ? options_.beep : [] { QApplication::beep(); },
                           .notification_area = notification_area_,
                           .hide_main_form = [this] { tray_.HideMainForm(); },
                           .end_program = [this] { tray_.Exit1Click(); },
                           .show_setup = [this] { ShowWindow(setup_); },
                           .show_connections = [this] { ShowWindow(connections_); },
                           .show_about = [this] { ShowWindow(about_); },
                       }),
      setup_(service, options_.ports != nullptr ? *options_.ports : *machine_ports_,
             SetupDialogHooks{
                 .report = Reporter(),
                 .withdraw = Withdrawal(),
                 .after_apply = [this] { status_.SyncDisplayTimer(); },
             }),
      connections_(service.server()) {
  tray_.SetStatusWindow(&status_);
}

DesktopProgram::~DesktopProgram() = default;

OperatorReporter DesktopProgram::Reporter() {
  if (options_.report) return options_.report;
  MessageBoxReporter* boxes = boxes_.get();
  return [boxes](const QString& message) { boxes->Report(message); };
}

OperatorWithdrawal DesktopProgram::Withdrawal() {
  if (options_.withdraw) return options_.withdraw;
  MessageBoxReporter* boxes = boxes_.get();
  if (boxes == nullptr) return {};
  return [boxes](const QString& message) { boxes->Withdraw(message); };
}

void DesktopProgram::ShowAtStart() {
  tray_.ShowAtStart();
  // Without a notification area the status window is the program's face.
  if (!notification_area_) ShowWindow(status_);
}

void DesktopProgram::ShowWindow(QWidget& window) {
  window.show();
  window.raise();
  window.activateWindow();
}

}  // namespace orvik::ui

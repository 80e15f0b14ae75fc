#include "ui/qt/desktop_program.h"

#include <QApplication>
#include <utility>

#include "ui/logic/service_forwarding.h"

namespace orvik::ui {

namespace {

bool AskForNotificationArea(const DesktopOptions& options) {
  if (options.notification_area.has_value()) return *options.notification_area;
  return options.notification_area_available ? options.notification_area_available()
                                             : QSystemTrayIcon::isSystemTrayAvailable();
}

// The windows' hooks carry std::string; the operator's boxes take QString.
std::function<void(const std::string&)> ToStd(std::function<void(const QString&)> show) {
  if (!show) return {};
  return [show = std::move(show)](const std::string& message) {
    show(QString::fromStdString(message));
  };
}

}  // namespace

DesktopProgram::DesktopProgram(service::GpsTimeService& service, DesktopOptions options)
    : service_(service),
      notification_area_(AskForNotificationArea(options)),
      options_(std::move(options)),
      boxes_(options_.report ? nullptr : std::make_unique<MessageBoxReporter>()),
      machine_ports_(options_.ports != nullptr ? nullptr : platform::MachineComPortList(".")),
      tray_(TrayHooks(), NotificationArea{.at_start = notification_area_,
                                          .available = options_.notification_area_available}),
      status_(StatusHooks()),
      setup_(options_.ports != nullptr ? *options_.ports : *machine_ports_,
             ServiceSetupHooks(service, ToStd(Reporter()), ToStd(Withdrawal()))),
      connections_(service.server()),
      subscription_(service.Listen(StatusWindowListener(status_))) {
  tray_.SetStatusWindow(&status_);
  status_.SetCommandsMenuEnabled(service_.CommandsMenuEnabled());
  // The start-up sequence; its error has reached the operator through
  // startup_failed, and the service's watchdog tries again.
  if (service_.Start().ok()) status_.StartupCompleted();
}

DesktopProgram::~DesktopProgram() = default;

TrayOwnerHooks DesktopProgram::TrayHooks() {
  return TrayOwnerHooks{
      .stop_acquisition = {},
      // "Exit" takes the icon away at once; the loop ends once the
      // acquisition has stopped.
      .quit =
          [this] {
            service_.End([quit = options_.quit] {
              if (quit) {
                quit();
              } else {
                QCoreApplication::quit();
              }
            });
          },
      .end_session = [this] { service_.EndAtOnce(); },
      .notification_area_appeared =
          [this] {
            notification_area_ = true;
            status_.MoveIntoNotificationArea();
          },
  };
}

StatusWindowHooks DesktopProgram::StatusHooks() {
  return StatusWindowHooks{
      .sound_disabled = [this] { return service_.settings().SoundDisabled; },
      .gmt_offset = [this] { return service_.GMT_offsetClick(); },
      .transmit_interval = [this] { return service_.Continuous_1sClick(); },
      .report = ToStd(Reporter()),
      .withdraw = ToStd(Withdrawal()),
      .beep = options_.beep ? options_.beep : [] { QApplication::beep(); },
      .notification_area = notification_area_,
      .hide_main_form = [this] { tray_.HideMainForm(); },
      .end_program = [this] { tray_.Exit1Click(); },
      .show_setup = [this] { ShowWindow(setup_); },
      .show_connections = [this] { ShowWindow(connections_); },
      .show_about = [this] { ShowWindow(about_); },
      .tip_changed = {},
  };
}

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

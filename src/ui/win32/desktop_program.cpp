#include "ui/win32/desktop_program.h"

#include <initializer_list>
#include <utility>

#include "ui/logic/service_forwarding.h"

namespace orvik::ui::win32 {

namespace {

HICON IconOrDefault(HICON drawn) {
  return drawn != nullptr ? drawn : ::LoadIconW(nullptr, IDI_APPLICATION);
}

}  // namespace

DesktopProgram::DesktopProgram(service::GpsTimeService& service, service::Win32MainLoop& loop,
                               DesktopOptions options)
    : service_(service),
      loop_(loop),
      options_(std::move(options)),
      icon_(LoadNotificationIcon()),
      machine_ports_(options_.ports != nullptr ? nullptr : platform::MachineComPortList(".")),
      tray_(IconOrDefault(icon_.get()), TrayHooks()),
      status_(StatusHooks()),
      setup_(options_.ports != nullptr ? *options_.ports : *machine_ports_, SetupHooks()),
      subscription_(service.Listen(StatusWindowListener(status_))) {
  tray_.SetStatusWindow(&status_);
  // The setup dialog applies and refreshes on focus moves between the
  // program's own windows, so it hears of every activation of them.
  for (Window* window :
       std::initializer_list<Window*>{&tray_, &status_, &setup_, &about_, &connections_}) {
    window->SetActivationObserver([this](HWND active) { setup_.WindowActivated(active); });
  }
  loop_.AddDialog(setup_.handle());
  loop_.AddDialog(errors_.handle());
  service_.server().SetClientViewObserver(this);
  connections_.ClientTableChanged(service_.server().Clients());

  status_.SetCommandsMenuEnabled(service_.CommandsMenuEnabled());
  // The service's periods and the start-up sequence; its error has reached
  // the error box through startup_failed, and the service's watchdog tries
  // again.
  if (service_.Start().ok()) status_.StartupCompleted();
  // Without a notification area the status window is the program's face.
  if (!tray_.IconShown()) status_.ShowInFront();
}

DesktopProgram::~DesktopProgram() {
  subscription_.Reset();
  service_.server().SetClientViewObserver(nullptr);
  // The windows go one by one; none may tell the dialog of an activation
  // after it has gone.
  for (Window* window :
       std::initializer_list<Window*>{&tray_, &status_, &setup_, &about_, &connections_}) {
    window->SetActivationObserver(nullptr);
  }
  loop_.RemoveDialog(errors_.handle());
  loop_.RemoveDialog(setup_.handle());
}

TrayOwnerHooks DesktopProgram::TrayHooks() {
  return TrayOwnerHooks{
      // "Exit" takes the icon away at once; the loop ends once the
      // acquisition has stopped.
      .stop_acquisition = {},
      .quit =
          [this] {
            service_.End([this] {
              if (options_.quit) {
                options_.quit();
              } else {
                loop_.Quit();
              }
            });
          },
      .end_session = [this] { service_.EndAtOnce(); },
      .notification_area_appeared = [this] { status_.MoveIntoNotificationArea(); },
  };
}

StatusWindowHooks DesktopProgram::StatusHooks() {
  // The icon goes in first: whether the notification area took it decides
  // whether the status window hides itself and what its close box does.
  tray_.ShowAtStart();
  const auto report = [this](const std::string& message) { errors_.Report(message); };
  return StatusWindowHooks{
      .sound_disabled = [this] { return service_.settings().SoundDisabled; },
      .gmt_offset = [this] { return service_.GMT_offsetClick(); },
      .transmit_interval = [this] { return service_.Continuous_1sClick(); },
      .report = report,
      .withdraw = [this](const std::string& message) { errors_.Withdraw(message); },
      .beep = options_.beep ? options_.beep : [] { ::MessageBeep(0xFFFFFFFF); },
      .notification_area = tray_.IconShown(),
      .hide_main_form = [this] { tray_.HideMainForm(); },
      .end_program = [this] { tray_.Exit1Click(); },
      .show_setup = [this] { setup_.ShowInFront(); },
      .show_connections = [this] { connections_.ShowInFront(); },
      .show_about = [this] { about_.ShowInFront(); },
      .tip_changed = [this](const std::string& tip) { tray_.SetTip(tip); },
  };
}

SetupFormHooks DesktopProgram::SetupHooks() {
  return ServiceSetupHooks(
      service_, [this](const std::string& message) { errors_.Report(message); },
      [this](const std::string& message) { errors_.Withdraw(message); });
}

void DesktopProgram::ClientTableChanged(const service::ClientTable& table) {
  connections_.ClientTableChanged(table);
}

}  // namespace orvik::ui::win32

#include "ui/win32/service_view_program.h"

#include <initializer_list>
#include <utility>

#include "core/utc_time.h"
#include "service/program_intervals.h"

namespace orvik::ui::win32 {

namespace {

HICON IconOrDefault(HICON loaded) {
  return loaded != nullptr ? loaded : ::LoadIconW(nullptr, IDI_APPLICATION);
}

// The service's settings as its file has them now (the defaults without one).
void LoadServiceSettings(ServiceSettings& settings, platform::SystemClock& clock,
                         ErrorBox& errors) {
  const core::UtcNanos now = clock.NowUtc();
  const core::DateTime pc_now =
      core::DateTimeAt(now, clock.MachineZoneOffsetMinutes(now)).value_or(core::DateTime{});
  if (const core::Status read = settings.Load(pc_now); !read.ok()) errors.Report(read.message());
}

}  // namespace

ServiceViewProgram::ServiceViewProgram(ServiceViewEnvironment env, DesktopOptions options)
    : env_(env),
      options_(std::move(options)),
      settings_(env.service_files, env.service),
      icon_(LoadNotificationIcon()),
      machine_ports_(options_.ports != nullptr ? nullptr : platform::MachineComPortList(".")),
      tray_(IconOrDefault(icon_.get()), TrayHooks()),
      status_(StatusHooks()),
      setup_(options_.ports != nullptr ? *options_.ports : *machine_ports_, SetupHooks()),
      client_(shared_.display, env.port),
      ticks_(
          env.loop, shared_,
          service::StatusTickIntervals{.display = service::kDisplayTickInterval,
                                       .communication = service::kCommunicationCheckInterval},
          service::StatusTickHooks{
              .publish =
                  [this](const service::StatusSnapshot& snapshot) { status_.ShowStatus(snapshot); },
              .before_display = {},  // the service switches its own time
          }) {
  LoadServiceSettings(settings_, env_.clock, errors_);
  tray_.SetStatusWindow(&status_);
  for (Window* window : std::initializer_list<Window*>{&tray_, &status_, &setup_, &about_}) {
    window->SetActivationObserver([this](HWND active) { setup_.WindowActivated(active); });
  }
  env_.loop.AddDialog(setup_.handle());
  env_.loop.AddDialog(errors_.handle());
  status_.SetCommandsMenuEnabled(false);
  status_.SetConnectionsMenuEnabled(false);
  status_.SetNote(kServiceKeepsClockNote);
  status_.SetClockKeeper(kServiceKeepsClockTip);
  // Both periods run from now on: the service has started.
  ticks_.StartCommunicationCheck();
  ticks_.StartDisplay();
  if (!tray_.IconShown()) status_.ShowInFront();
}

ServiceViewProgram::~ServiceViewProgram() {
  for (Window* window : std::initializer_list<Window*>{&tray_, &status_, &setup_, &about_}) {
    window->SetActivationObserver(nullptr);
  }
  env_.loop.RemoveDialog(errors_.handle());
  env_.loop.RemoveDialog(setup_.handle());
}

TrayOwnerHooks ServiceViewProgram::TrayHooks() {
  return TrayOwnerHooks{
      .stop_acquisition = {},
      .quit =
          [this] {
            ticks_.Stop();
            if (options_.quit) {
              options_.quit();
            } else {
              env_.loop.Quit();
            }
          },
      .end_session = {},
      .notification_area_appeared = [this] { status_.MoveIntoNotificationArea(); },
  };
}

StatusWindowHooks ServiceViewProgram::StatusHooks() {
  // The icon goes in first: whether the notification area took it decides
  // whether the status window hides itself and what its close box does.
  tray_.ShowAtStart();
  return StatusWindowHooks{
      .sound_disabled = [this] { return settings_.settings().SoundDisabled; },
      .gmt_offset = {},
      .transmit_interval = {},
      .report = [this](const std::string& message) { errors_.Report(message); },
      .withdraw = [this](const std::string& message) { errors_.Withdraw(message); },
      .beep = options_.beep ? options_.beep : [] { ::MessageBeep(0xFFFFFFFF); },
      .notification_area = tray_.IconShown(),
      .hide_main_form = [this] { tray_.HideMainForm(); },
      .end_program = [this] { tray_.Exit1Click(); },
      .show_setup =
          [this] {
            // What the service's file holds now, whoever changed it.
            LoadServiceSettings(settings_, env_.clock, errors_);
            setup_.ShowInFront();
          },
      .show_connections = {},
      .show_about = [this] { about_.ShowInFront(); },
      .tip_changed = [this](const std::string& tip) { tray_.SetTip(tip); },
  };
}

SetupFormHooks ServiceViewProgram::SetupHooks() {
  return SetupFormHooks{
      .settings = [this]() -> const core::Settings& { return settings_.settings(); },
      .apply_settings =
          [this](const core::Settings& edited, std::function<void()> restarted) {
            ServiceApplyResult applied = settings_.Apply(edited);
            if (!applied.restart_note.empty()) errors_.Report(applied.restart_note);
            // The restart (if any) has ended when Apply returns; the form
            // hears of it from the loop, as of the program's own restarts.
            if (applied.saved.ok() && restarted) env_.loop.Post(std::move(restarted));
            return std::move(applied.saved);
          },
      .report = [this](const std::string& message) { errors_.Report(message); },
      .withdraw = [this](const std::string& message) { errors_.Withdraw(message); },
      .after_apply = {},
  };
}

}  // namespace orvik::ui::win32

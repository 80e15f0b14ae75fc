#include "service/gps_time_service.h"

#include <future>
#include <memory>
#include <optional>
#include <utility>

#include "core/settings_fields.h"
#include "core/settings_file.h"
#include "core/timeouts_file.h"
#include "core/utc_time.h"
#include "core/windows_time_notice.h"
#include "service/reader_priority.h"
#include "service/receiver_command_control.h"

namespace orvik::service {

namespace {
// Longest wait of a start for its new thread to raise itself.
constexpr std::chrono::seconds kPriorityNoticeWait{1};
}  // namespace

GpsTimeService::GpsTimeService(ServiceEnvironment environment, ServiceOptions options)
    : env_(std::move(environment)),
      options_(options),
      server_(env_.loop, options.server),
      time_keeper_(env_.clock, env_.monotonic, server_),
      watchdog_(env_.loop.MakeTimer([this] { WatchdogTick(); })),
      ticks_(env_.loop, shared_,
             StatusTickIntervals{.display = options.display_tick_interval,
                                 .communication = options.communication_check_interval},
             StatusTickHooks{
                 .publish =
                     [this](const StatusSnapshot& snapshot) {
                       events_.Tell(&ServiceListener::status, snapshot);
                     },
                 .before_display = [this] { return SummerSwitchTick(); },
             }),
      next_step_timer_(env_.loop.MakeTimer([this] { BeginNextStep(); })),
      pause_{.timer = env_.loop.MakeTimer([this] { EndPause(); }), .end = 0},
      stop_(env_.loop, shared_, options.stop_check_interval) {
  server_.SetFullnessListener([this](bool full) { TellServerFullness(full); });
}

GpsTimeService::~GpsTimeService() { EndAtOnce(); }

core::Status GpsTimeService::Start() {
  if (!watchdog_->IsActive()) watchdog_->Start(options_.watchdog_interval);
  ticks_.StartCommunicationCheck();
  return FormCreate();
}

void GpsTimeService::End(std::function<void()> ended) {
  if (ending_) return;
  ending_ = true;
  watchdog_->Stop();
  ticks_.Stop();
  StopAcquisition(std::move(ended));
}

void GpsTimeService::EndAtOnce() {
  watchdog_->Stop();
  ticks_.Stop();
  // Whoever asked for a step is going away with the program.
  steps_.DropAll();
  next_step_timer_->Stop();
  pause_.timer->Stop();
  stop_.Abandon();
  run_.reset();
}

core::Status GpsTimeService::FormCreate() {
  const auto fail = [this](core::Status status) {
    events_.Tell(&ServiceListener::startup_failed, status.message());
    return status;
  };
  if (core::Status listening = server_.Activate(); !listening.ok()) return fail(listening);

  const core::DateTime load_time = LocalNow();
  const core::Status loaded =
      core::LoadSettings(settings_, env_.files, load_time, [this](bool enabled) {
        commands_menu_enabled_ = enabled;
        events_.Tell(&ServiceListener::commands_menu_enabled_changed, enabled);
      });
  if (!loaded.ok()) return fail(loaded);
  summer_.days_year = load_time.year;

  const bool privileged = env_.privilege.EnableTimePrivileges();
  ReadPcNowWithSummerState();
  if (core::Status timeouts = core::LoadTimeouts(env_.files, timeouts_); !timeouts.ok()) {
    return fail(timeouts);
  }
  // Sets the summer state and SummerHours; for a Motorola receiver the GMT
  // offset command it composes goes out first of all, so the receiver
  // reports the local time the program expects. A value the receiver cannot
  // take is no start-up error: its messages then never set the clock.
  shared_.command.Clear();
  (void)GMT_offsetClick();
  std::vector<std::uint8_t> first_command =
      shared_.command.Take().value_or(std::vector<std::uint8_t>{});
  TellClockKeeping(privileged);
  StartAcquisitionThread(std::move(first_command));
  summer_.LastMinute = PcNow_.minute;
  if (!ending_) ticks_.StartDisplay();
  return core::Status::Ok();
}

core::DateTime GpsTimeService::LocalNow() const {
  return core::DateTimeAt(env_.clock.NowUtc(), shared_.LocalOffsetMinutes.load())
      .value_or(core::DateTime{});
}

void GpsTimeService::ReadPcNowWithSummerState() {
  // The summer rule is stated in local time, which itself depends on the
  // rule: try zone time first, and keep summer time only where the rule,
  // read in summer time, agrees (the hour after the end of summer time
  // exists twice in local time).
  const core::UtcNanos utc = env_.clock.NowUtc();
  const auto local_at = [&](bool summer) {
    return core::DateTimeAt(utc, core::LocalOffsetMinutes(settings_, summer))
        .value_or(core::DateTime{});
  };
  PcNow_ = local_at(false);
  if (core::SummerRule(settings_, PcNow_.month, PcNow_.day, PcNow_.hour)) {
    const core::DateTime summer = local_at(true);
    if (core::SummerRule(settings_, summer.month, summer.day, summer.hour)) PcNow_ = summer;
  }
}

void GpsTimeService::TellClockKeeping(bool privileged) {
  const core::UtcNanos now = env_.clock.NowUtc();
  const std::int64_t configured = shared_.LocalOffsetMinutes.load();
  const std::int64_t machine = env_.clock.MachineZoneOffsetMinutes(now);
  std::string zone;
  if (machine != configured) {
    zone = "The machine's time zone is " + core::FormatUtcOffset(machine) +
           ", the configured local time " + core::FormatUtcOffset(configured) +
           ": the PC clock is kept in UTC, and the times shown and sent are " +
           core::FormatUtcOffset(configured) + ".";
  }
  if (zone != told_.zone) {
    told_.zone = zone;
    if (!zone.empty()) Notice(zone);
  }
  if (!told_.windows_time_asked && env_.windows_time != nullptr) {
    told_.windows_time_asked = true;
    const std::string other_keeper = core::WindowsTimeNotice(env_.windows_time->Read());
    if (!other_keeper.empty()) Notice(other_keeper);
  }
  if (!privileged && settings_.ChronySocketPath.empty()) {
    shared_.clock_keeping.SetProblem("PC clock not set: no time privilege");
    if (!told_.privilege) {
      told_.privilege = true;
      Notice("No right to set the PC clock: the time is served, but the PC clock is not kept.");
    }
  }
}

void GpsTimeService::TellServerFullness(bool full) {
  if (!full) {
    shared_.lan_service.SetProblem("");  // the status line goes; the log keeps the notice
    return;
  }
  const std::string notice = ServiceFullNotice(server_.ConnectionCount());
  shared_.lan_service.SetProblem(notice);
  Notice(notice);
}

void GpsTimeService::Notice(const std::string& message) {
  if (settings_.LoggingEnabled) env_.log.WriteLog(message);
  events_.Tell(&ServiceListener::notice, message);
}

void GpsTimeService::StartAcquisitionThread(std::vector<std::uint8_t> first_command) {
  run_.reset();  // never two acquisition threads
  // The feed follows the settings of each run.
  std::unique_ptr<platform::RefclockSocket> refclock_socket;
  if (!settings_.ChronySocketPath.empty() && env_.make_refclock_socket) {
    refclock_socket = env_.make_refclock_socket(settings_.ChronySocketPath);
  }
  AcquisitionOptions acquisition_options;
  acquisition_options.working_dir = env_.working_dir;
  acquisition_options.reopen_interval = options_.reopen_interval;
  acquisition_options.first_command = std::move(first_command);
  // The thread raises its own priority before anything else; the rights
  // must be on before it exists, since it inherits them.
  env_.thread_priority.EnablePriorityRights();
  auto reached = std::make_shared<std::promise<std::string>>();
  std::future<std::string> reached_notice = reached->get_future();
  acquisition_options.raise_priority = [&priority = env_.thread_priority, reached] {
    reached->set_value(RaiseReaderPriority(priority));
  };
  run_ = std::make_unique<AcquisitionRun>(
      AcquisitionRunContext{env_.loop, shared_, time_keeper_, env_.log, env_.monotonic}, settings_,
      timeouts_, env_.make_link(), std::move(refclock_socket), std::move(acquisition_options));
  // The first start waits for that (a few system calls, nothing that needs
  // this thread) to say what was reached; a restart reaches the same. The
  // wait is bounded: a thread not yet run by then is told of at a later start.
  if (!told_.priority &&
      reached_notice.wait_for(kPriorityNoticeWait) == std::future_status::ready) {
    told_.priority = true;
    Notice(reached_notice.get());
  }
}

void GpsTimeService::StopAcquisition(std::function<void()> done) {
  steps_.AskStop(std::move(done));
  BeginFromLoop();
}

void GpsTimeService::RequestRestart(RestartDone done) {
  steps_.AskRestart(std::move(done));
  BeginFromLoop();
}

void GpsTimeService::BeginFromLoop() {
  if (steps_.phase() == LifecycleSteps::Phase::kIdle) {
    next_step_timer_->StartOnce(std::chrono::milliseconds(0));
  }
}

void GpsTimeService::BeginNextStep() {
  const std::optional<LifecycleSteps::Kind> next = steps_.BeginNext();
  if (!next) return;
  if (*next == LifecycleSteps::Kind::kRestart) {
    BeginStop([this] {
      // Clients keep connecting and being served (nothing to send) meanwhile.
      steps_.PauseToRestart();
      Pause(options_.restart_pause);
    });
    return;
  }
  BeginStop([this] {
    for (const std::function<void()>& done : steps_.Finish().stop_callers) {
      if (done) done();
    }
    BeginNextStep();
  });
}

void GpsTimeService::BeginStop(std::function<void()> ended) {
  stop_.Begin(std::move(run_), std::move(ended));
}

void GpsTimeService::Pause(std::chrono::milliseconds pause) {
  pause_.end = env_.monotonic.NowMonotonic() +
               std::chrono::duration_cast<std::chrono::nanoseconds>(pause).count();
  pause_.timer->StartOnce(pause);
}

void GpsTimeService::EndPause() {
  // A timer may fire a little early (coarse timers): the pause lasts in full.
  const std::chrono::nanoseconds left(pause_.end - env_.monotonic.NowMonotonic());
  if (left > std::chrono::nanoseconds::zero()) {
    pause_.timer->StartOnce(std::chrono::ceil<std::chrono::milliseconds>(left));
    return;
  }
  if (steps_.phase() == LifecycleSteps::Phase::kPausingToRestart) {
    FinishRestart();
    return;
  }
  // The summer/zone switch: only the offset changes (and, for a Motorola
  // receiver, its command): the clock runs in UTC and is not stepped.
  (void)GMT_offsetClick();
  steps_.Finish();
  BeginNextStep();
}

void GpsTimeService::FinishRestart() {
  const core::Status started = FormCreate();
  const std::vector<RestartDone> callers = steps_.Finish().restart_callers;
  events_.Tell(&ServiceListener::restart_finished, started.ok());
  for (const RestartDone& done : callers) {
    if (done) done(started);
  }
  BeginNextStep();
}

void GpsTimeService::WatchdogTick() {
  if (LifecycleStepUnderWay()) return;
  if (shared_.lifecycle.LoopHeartbeat) RequestRestart();
  shared_.lifecycle.LoopHeartbeat = true;
}

bool GpsTimeService::SummerSwitchTick() {
  if (!settings_.SummerTime || LifecycleStepUnderWay()) return false;
  PcNow_ = LocalNow();
  if (!core::SummerSwitchDue(settings_, summer_, PcNow_)) return false;
  steps_.BeginSwitch();
  Pause(options_.summer_switch_pause);
  return true;
}

core::Status GpsTimeService::GMT_offsetClick() {
  return ::orvik::service::GMT_offsetClick(settings_, PcNow_, env_.clock, shared_,
                                           summer_.SummerInEffect);
}

core::Status GpsTimeService::Continuous_1sClick() {
  return ::orvik::service::Continuous_1sClick(settings_, shared_);
}

core::Status GpsTimeService::ApplySettings(const core::Settings& edited, RestartDone done) {
  core::Settings next = settings_;
  core::CopyEditableSettings(edited, next);
  // A failed save keeps the running system and the old file as they were.
  if (core::Status saved = core::SaveSettings(next, env_.files); !saved.ok()) return saved;
  settings_ = next;
  RequestRestart(std::move(done));
  return core::Status::Ok();
}

}  // namespace orvik::service

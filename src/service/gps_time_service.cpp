#include "service/gps_time_service.h"

#include <future>
#include <memory>
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
      stop_(env_.loop, shared_, options.stop_check_interval),
      pause_timer_(env_.loop.MakeTimer([this] { EndPause(); })),
      next_step_timer_(env_.loop.MakeTimer([this] { BeginNextStep(); })) {
  server_.SetFullnessListener([this](bool full) { TellServerFullness(full); });
}

GpsTimeService::~GpsTimeService() { EndAtOnce(); }

void GpsTimeService::EndAtOnce() {
  // Whoever asked for a step is going away with the program.
  ending_ = true;
  next_step_timer_->Stop();
  pause_timer_->Stop();
  stop_.Abandon();
  waiting_.clear();
  restart_callers_.clear();
  EndThreadNow();
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
  if (zone != zone_notice_) {
    zone_notice_ = zone;
    if (!zone.empty()) Notice(zone);
  }
  if (!windows_time_asked_ && env_.windows_time != nullptr) {
    windows_time_asked_ = true;
    const std::string other_keeper = core::WindowsTimeNotice(env_.windows_time->Read());
    if (!other_keeper.empty()) Notice(other_keeper);
  }
  if (!privileged && settings_.ChronySocketPath.empty()) {
    shared_.clock_keeping.SetProblem("PC clock not set: no time privilege");
    if (!privilege_notice_given_) {
      privilege_notice_given_ = true;
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
  EndThreadNow();  // never two acquisition threads
  // The feed follows the settings of each run; none is in use meanwhile.
  time_keeper_.UseChronyFeed(nullptr);
  chrony_feed_.reset();
  refclock_socket_.reset();
  if (!settings_.ChronySocketPath.empty() && env_.make_refclock_socket) {
    refclock_socket_ = env_.make_refclock_socket(settings_.ChronySocketPath);
    chrony_feed_ = std::make_unique<ChronyFeed>(
        settings_, env_.log, *refclock_socket_,
        [this](const std::string& problem) { shared_.clock_keeping.SetProblem(problem); });
    time_keeper_.UseChronyFeed(chrony_feed_.get());
  }
  shared_.lifecycle.AcquisitionRunning = true;
  shared_.lifecycle.PortActive = true;
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
  bridge_ = std::make_unique<HandOverBridge>(std::bind_front(&MainLoop::Post, &env_.loop));
  acquisition_ = std::make_unique<comm_GPS_acq>(
      AcquisitionContext{shared_, time_keeper_, env_.log, *bridge_, env_.monotonic}, settings_,
      timeouts_, env_.make_link(), acquisition_options);
  // The first start waits for that (a few system calls, nothing that needs
  // this thread) to say what was reached; a restart reaches the same. The
  // wait is bounded: a thread not yet run by then is told of at a later start.
  if (!priority_notice_given_ &&
      reached_notice.wait_for(kPriorityNoticeWait) == std::future_status::ready) {
    priority_notice_given_ = true;
    Notice(reached_notice.get());
  }
}

void GpsTimeService::EndThreadNow() {
  if (!acquisition_) return;
  // Nothing serves the hand-overs here: the one the thread may wait in is
  // released, and the thread's waits end on its stop request.
  bridge_->Close();
  acquisition_->RequestStop();
  acquisition_.reset();
  bridge_.reset();
  shared_.lifecycle.AcquisitionRunning = false;
  shared_.lifecycle.PortActive = false;
}

void GpsTimeService::StopAcquisition(std::function<void()> done) {
  if (waiting_.empty() || waiting_.back().restart) waiting_.emplace_back();
  waiting_.back().stop_callers.push_back(std::move(done));
  if (step_ == Step::kIdle) next_step_timer_->StartOnce(std::chrono::milliseconds(0));
}

void GpsTimeService::RequestRestart(RestartDone done) {
  if (waiting_.empty() || !waiting_.back().restart) {
    waiting_.push_back(WaitingStep{.restart = true, .restart_callers = {}, .stop_callers = {}});
  }
  waiting_.back().restart_callers.push_back(std::move(done));
  if (step_ == Step::kIdle) next_step_timer_->StartOnce(std::chrono::milliseconds(0));
}

void GpsTimeService::BeginNextStep() {
  if (step_ != Step::kIdle || waiting_.empty() || ending_) return;
  WaitingStep next = std::move(waiting_.front());
  waiting_.pop_front();
  step_ = Step::kStopping;
  if (next.restart) {
    restart_callers_ = std::move(next.restart_callers);
    // Closing the port first ends a read the thread may be blocked in. The
    // stop is asked with it: once the port is closed every wait of the thread
    // ends at once, so a thread not yet told to stop would run its loop
    // without waiting (at real-time priority, holding a processor).
    if (acquisition_) acquisition_->RequestStop();
    BeginStop([this] {
      // Clients keep connecting and being served (nothing to send) meanwhile.
      step_ = Step::kPausingToRestart;
      Pause(options_.restart_pause);
    });
    return;
  }
  BeginStop([this, callers = std::move(next.stop_callers)] {
    step_ = Step::kIdle;
    for (const std::function<void()>& done : callers) {
      if (done) done();
    }
    BeginNextStep();
  });
}

void GpsTimeService::BeginStop(std::function<void()> ended) {
  stop_.Begin(acquisition_, [this, ended = std::move(ended)] {
    bridge_.reset();
    ended();
  });
}

void GpsTimeService::Pause(std::chrono::milliseconds pause) {
  pause_end_ = env_.monotonic.NowMonotonic() +
               std::chrono::duration_cast<std::chrono::nanoseconds>(pause).count();
  pause_timer_->StartOnce(pause);
}

void GpsTimeService::EndPause() {
  // A timer may fire a little early (coarse timers): the pause lasts in full.
  const std::chrono::nanoseconds left(pause_end_ - env_.monotonic.NowMonotonic());
  if (left > std::chrono::nanoseconds::zero()) {
    pause_timer_->StartOnce(std::chrono::ceil<std::chrono::milliseconds>(left));
    return;
  }
  if (step_ == Step::kPausingToRestart) {
    FinishRestart();
    return;
  }
  // The summer/zone switch: only the offset changes (and, for a Motorola
  // receiver, its command): the clock runs in UTC and is not stepped.
  (void)GMT_offsetClick();
  step_ = Step::kIdle;
  BeginNextStep();
}

void GpsTimeService::FinishRestart() {
  const core::Status started = FormCreate();
  step_ = Step::kIdle;
  const std::vector<RestartDone> callers = std::exchange(restart_callers_, {});
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
  step_ = Step::kPausingToSwitch;
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

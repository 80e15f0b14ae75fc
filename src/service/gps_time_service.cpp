#include "service/gps_time_service.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <memory>
#include <thread>
#include <utility>

#include "core/settings_fields.h"
#include "core/settings_file.h"
#include "core/timeouts_file.h"
#include "core/utc_time.h"
#include "service/acquisition_stop.h"
#include "service/receiver_command_control.h"

namespace orvik::service {

GpsTimeService::GpsTimeService(ServiceEnvironment environment, ServiceOptions options,
                               QObject* parent)
    : QObject(parent),
      env_(std::move(environment)),
      options_(options),
      server_(bridge_, options.server),
      decoders_(env_.clock, server_) {}

GpsTimeService::~GpsTimeService() {
  // Whoever queued a restart is going away with the program.
  ending_ = true;
  queued_restarts_.clear();
  StopThread();
}

core::Status GpsTimeService::FormCreate() {
  const auto fail = [this](core::Status status) {
    emit startupFailed(QString::fromStdString(status.message()));
    return status;
  };
  if (core::Status listening = server_.Activate(); !listening.ok()) return fail(listening);

  const core::DateTime load_time = LocalNow();
  const core::Status loaded =
      core::LoadSettings(settings_, env_.files, load_time, [this](bool enabled) {
        commands_menu_enabled_ = enabled;
        emit commandsMenuEnabledChanged(enabled);
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
  std::vector<std::uint8_t> first_command = shared_.command.Take().value_or(std::vector<std::uint8_t>{});
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
  if (!privileged && settings_.ChronySocketPath.empty()) {
    shared_.clock_keeping.SetProblem("PC clock not set: no time privilege");
    if (!privilege_notice_given_) {
      privilege_notice_given_ = true;
      Notice("No right to set the PC clock: the time is served, but the PC clock is not kept.");
    }
  }
}

void GpsTimeService::Notice(const std::string& message) {
  if (settings_.LoggingEnabled) env_.log.WriteLog(message);
  emit notice(QString::fromStdString(message));
}

void GpsTimeService::StartAcquisitionThread(std::vector<std::uint8_t> first_command) {
  if (acquisition_) StopThread();  // never two acquisition threads
  // The feed follows the settings of each run; none is in use meanwhile.
  decoders_.UseChronyFeed(nullptr);
  chrony_feed_.reset();
  refclock_socket_.reset();
  if (!settings_.ChronySocketPath.empty() && env_.make_refclock_socket) {
    refclock_socket_ = env_.make_refclock_socket(settings_.ChronySocketPath);
    chrony_feed_ = std::make_unique<ChronyFeed>(
        settings_, env_.log, *refclock_socket_,
        [this](const std::string& problem) { shared_.clock_keeping.SetProblem(problem); });
    decoders_.UseChronyFeed(chrony_feed_.get());
  }
  shared_.lifecycle.AcquisitionRunning = true;
  shared_.lifecycle.PortActive = true;
  AcquisitionOptions acquisition_options;
  acquisition_options.working_dir = env_.working_dir;
  acquisition_options.reopen_interval = options_.reopen_interval;
  acquisition_options.first_command = std::move(first_command);
  acquisition_ = std::make_unique<comm_GPS_acq>(
      AcquisitionContext{shared_, decoders_, env_.log, bridge_}, settings_, timeouts_,
      env_.make_link(), acquisition_options);
  // A restart asked for while this start-up stopped an earlier thread, with
  // no step around it to run the queue: it runs from the event loop.
  if (!queued_restarts_.empty() && !LifecycleStepUnderWay()) {
    QMetaObject::invokeMethod(this, &GpsTimeService::RunQueuedRestarts, Qt::QueuedConnection);
  }
}

void GpsTimeService::StopAcquisition() {
  StopThread();
  RunQueuedRestarts();
}

void GpsTimeService::StopThread() {
  // Two stops of one thread at once would release it under each other.
  if (stopping_) return;
  stopping_ = true;
  ::orvik::service::StopAcquisition(
      acquisition_, shared_, [this] { DispatchEvents(); }, options_.stop_check_interval);
  stopping_ = false;
}

void GpsTimeService::DispatchEvents() { QCoreApplication::processEvents(); }

void GpsTimeService::PauseDispatching(std::chrono::milliseconds pause) {
  const QDeadlineTimer deadline(pause.count());
  while (!deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool GpsTimeService::RequestRestart(RestartDone done) {
  queued_restarts_.push_back(std::move(done));
  // The step's end runs it (after the destructor began, nothing does).
  if (LifecycleStepUnderWay() || ending_) return false;
  RunQueuedRestarts();
  return true;
}

core::Status GpsTimeService::RestartAcquisition(RestartDone done) {
  // Shared: a queued request outlives this call.
  auto result = std::make_shared<core::Status>();
  const bool ran = RequestRestart([result, done = std::move(done)](const core::Status& started) {
    *result = started;
    if (done) done(started);
  });
  return ran ? *result : core::Status::Ok();
}

void GpsTimeService::RunQueuedRestarts() {
  while (!queued_restarts_.empty() && !LifecycleStepUnderWay() && !ending_) {
    // Requests made during this restart's waits queue up for the next one.
    std::vector<RestartDone> callers = std::exchange(queued_restarts_, {});
    restarting_ = true;
    const core::Status started = RestartNow();
    restarting_ = false;
    emit restartFinished(started.ok());
    for (const RestartDone& done : callers) {
      if (done) done(started);
    }
  }
}

core::Status GpsTimeService::RestartNow() {
  // Closing the port first ends a read the thread may be blocked in.
  if (acquisition_) acquisition_->ClosePort();
  StopThread();
  // Clients keep connecting and being served (nothing to send) meanwhile.
  PauseDispatching(options_.restart_pause);
  return FormCreate();
}

void GpsTimeService::WatchdogTick() {
  if (LifecycleStepUnderWay()) return;
  if (shared_.lifecycle.LoopHeartbeat) (void)RequestRestart();
  shared_.lifecycle.LoopHeartbeat = true;
}

bool GpsTimeService::SummerSwitchTick() {
  if (!settings_.SummerTime || LifecycleStepUnderWay()) return false;
  PcNow_ = LocalNow();
  if (!core::SummerSwitchDue(settings_, summer_, PcNow_)) return false;
  switching_ = true;
  PauseDispatching(options_.summer_switch_pause);
  // Only the offset changes (and, for a Motorola receiver, its command): the
  // clock runs in UTC and is not stepped.
  (void)GMT_offsetClick();
  switching_ = false;
  RunQueuedRestarts();
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
  return RestartAcquisition(std::move(done));
}

}  // namespace orvik::service

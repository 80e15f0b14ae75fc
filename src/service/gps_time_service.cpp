#include "service/gps_time_service.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <memory>
#include <thread>
#include <utility>

#include "core/settings_file.h"
#include "core/timeouts_file.h"
#include "service/acquisition_stop.h"
#include "service/receiver_command_control.h"

namespace orvik::service {

GpsTimeService::GpsTimeService(ServiceEnvironment environment, ServiceOptions options,
                               QObject* parent)
    : QObject(parent),
      env_(std::move(environment)),
      options_(options),
      server_(options.server),
      bridge_(this),
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

  const core::DateTime load_time = env_.clock.Now();
  const core::Status loaded =
      core::LoadSettings(settings_, env_.files, load_time, [this](bool enabled) {
        commands_menu_enabled_ = enabled;
        emit commandsMenuEnabledChanged(enabled);
      });
  if (!loaded.ok()) return fail(loaded);
  summer_.days_year = load_time.year;

  shared_.lifecycle.IsWinNT = true;
  env_.privilege.EnableTimePrivileges();
  PcNow_ = env_.clock.Now();
  if (core::Status timeouts = core::LoadTimeouts(env_.files, timeouts_); !timeouts.ok()) {
    return fail(timeouts);
  }
  // Sets the summer state and SummerHours; a command composed here is
  // dropped by the new thread, so a value the receiver cannot take is no
  // start-up error.
  (void)GMT_offsetClick();
  StartAcquisitionThread();
  summer_.LastMinute = PcNow_.minute;
  return core::Status::Ok();
}

void GpsTimeService::StartAcquisitionThread() {
  if (acquisition_) StopThread();  // never two acquisition threads
  shared_.lifecycle.AcquisitionRunning = true;
  shared_.lifecycle.PortActive = true;
  AcquisitionOptions acquisition_options;
  acquisition_options.working_dir = env_.working_dir;
  acquisition_options.reopen_interval = options_.reopen_interval;
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
  PcNow_ = env_.clock.Now();
  if (!core::SummerSwitchDue(settings_, summer_, PcNow_)) return false;
  switching_ = true;
  PauseDispatching(options_.summer_switch_pause);
  (void)GMT_offsetClick();
  // Set from a fresh reading, so the switch never steps the clock back by
  // the second just waited.
  (void)env_.clock.SetLocalTime(env_.clock.Now());
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
  next.PortNumberText = edited.PortNumberText;
  next.GmtHoursText = edited.GmtHoursText;
  next.TransmitIntervalText = edited.TransmitIntervalText;
  next.ClockUpdateIntervalText = edited.ClockUpdateIntervalText;
  next.SummerMonthText = edited.SummerMonthText;
  next.SummerHourText = edited.SummerHourText;
  next.ZoneMonthText = edited.ZoneMonthText;
  next.ZoneHourText = edited.ZoneHourText;
  next.GmtMinutesText = edited.GmtMinutesText;
  next.OnlyMinSec = edited.OnlyMinSec;
  next.SoundDisabled = edited.SoundDisabled;
  next.SummerTime = edited.SummerTime;
  next.LoggingEnabled = edited.LoggingEnabled;
  next.Protocol = edited.Protocol;
  next.ReceiverDelayText = edited.ReceiverDelayText;
  next.ChronySocketPath = edited.ChronySocketPath;
  // A failed save keeps the running system and the old file as they were.
  if (core::Status saved = core::SaveSettings(next, env_.files); !saved.ok()) return saved;
  settings_ = next;
  return RestartAcquisition(std::move(done));
}

}  // namespace orvik::service

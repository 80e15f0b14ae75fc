// GpsTimeService: the running system behind the windows and the headless
// program. It owns the LAN time server, the shared state, the decoders and
// the current acquisition thread, and carries out the start-up sequence, the
// stop, the restart and the watchdog.
//
// The start-up sequence (FormCreate), strictly in this order: activate the
// listener on the TCP port (a second run keeps it and every client), load
// "GPS_parm.txt", gain the right to set the clock, read the PC clock, load
// "timeouts.txt", evaluate summer time (GMT_offsetClick; the GMT offset
// command it composes for a Motorola receiver is the new thread's first
// command), start the acquisition thread, remember the minute for the
// summer/zone check. An error in any step ends the sequence there: nothing
// later runs, startupFailed() carries the message, and the watchdog tries
// again about once a minute.
//
// The PC clock is read and set in UTC; "the PC's time" here is the program's
// own local time, UTC plus the configured offset and summer hour. Things
// the operator should know once (the machine's zone differs from the
// configured offset; no right to set the clock) are sent as notice() at the
// start-up that finds them, and logged when logging is on.
//
// One step of the acquisition's lifecycle runs at a time: a restart, a stop
// or a summer/zone switch. Their waits keep dispatching the main thread's
// events, so the watchdog or the setup dialog may ask for a restart while
// one is under way; such a restart is queued and runs as soon as that step
// has ended, and its result reaches the caller that asked.
//
// Main thread only (the thread of its QObject and event loop).
#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/date_time.h"
#include "core/port_settings.h"
#include "core/settings.h"
#include "core/status.h"
#include "core/summer_rule.h"
#include "core/text_files.h"
#include "platform/refclock_socket.h"
#include "platform/serial_link.h"
#include "platform/system_clock.h"
#include "platform/time_privilege.h"
#include "service/acquisition_thread.h"
#include "service/chrony_feed.h"
#include "service/event_log_writer.h"
#include "service/program_intervals.h"
#include "service/qt/qt_main_loop.h"
#include "service/receiver_decoders.h"
#include "service/shared_state.h"
#include "service/time_server.h"

namespace orvik::service {

// What the service needs of the machine; all must outlive the service.
struct ServiceEnvironment {
  platform::SystemClock& clock;
  core::TextFiles& files;
  platform::TimePrivilege& privilege;
  EventLogWriter& log;
  // Where "COM<n>" is looked up.
  std::filesystem::path working_dir = ".";
  // Makes the serial link for each new acquisition thread.
  std::function<std::unique_ptr<platform::SerialLink>()> make_link;
  // Makes the socket to a chrony SOCK refclock at a path; unset: the
  // program always keeps the clock itself.
  std::function<std::unique_ptr<platform::RefclockSocket>(const std::string& path)>
      make_refclock_socket;
};

struct ServiceOptions {
  TimeServerOptions server;                                // port 1609 in the programs
  std::chrono::milliseconds restart_pause{kRestartPause};  // between stop and start
  std::chrono::milliseconds stop_check_interval{100};      // StopAcquisition's checks
  std::chrono::milliseconds reopen_interval{60'000};       // a lost port is opened again
  std::chrono::milliseconds summer_switch_pause{1000};     // before a summer/zone switch
};

class GpsTimeService : public QObject {
  Q_OBJECT

 public:
  GpsTimeService(ServiceEnvironment environment, ServiceOptions options = {},
                 QObject* parent = nullptr);
  // Stops the acquisition; the server closes the listener and every client.
  ~GpsTimeService() override;

  // The start-up sequence above. Returns its error (also sent as startupFailed).
  core::Status FormCreate();
  // Ends the acquisition thread, dispatching events while it winds down.
  // Asked for again from an event that the wait of a stop dispatched, it
  // returns at once: the stop under way finishes the job.
  void StopAcquisition();

  // Receives a restart's result: the error of its start-up sequence, or ok.
  using RestartDone = std::function<void(const core::Status&)>;
  // Asks for a restart: close the port, stop the thread, pause
  // restart_pause, run FormCreate; `done` (may be empty) gets the result.
  // While another lifecycle step is under way the restart is queued: it runs
  // as soon as that step has ended, requests queued together share one
  // restart, and each `done` receives its result then. Returns true when
  // the restart ran (and `done` was called) before this returned.
  bool RequestRestart(RestartDone done = {});
  // RequestRestart for a caller that wants the result at once: returns it
  // when the restart ran now. When it was queued, returns ok and `done`
  // receives the result later; a start-up error also reaches the operator
  // through startupFailed, like every other.
  core::Status RestartAcquisition(RestartDone done = {});
  // The 60-second watchdog: restarts when no loop pass ran for a whole
  // period. A tick during another lifecycle step does nothing.
  void WatchdogTick();

  // The summer/zone check of the 1-second tick (does nothing while summer
  // time is off, and only once per minute of the PC clock). Returns true
  // when it switched: the caller then skips the rest of its tick.
  bool SummerSwitchTick();

  // Receiver commands ("GMT difference", "Time transm. interval"). A value
  // the receiver cannot take composes nothing and returns why.
  core::Status GMT_offsetClick();
  core::Status Continuous_1sClick();

  // The settings as last loaded (the dialog edits a copy).
  const core::Settings& settings() const { return settings_; }
  // Takes the dialog's text forms, switches and protocol, saves
  // "GPS_parm.txt" and asks for a restart with `done`. Returns the save
  // failure (the acquisition is then left as it was and `done` is not
  // called), else the restart's result when it ran at once, or ok when it
  // was queued behind another step (`done` then receives its result).
  core::Status ApplySettings(const core::Settings& edited, RestartDone done = {});

  SharedState& shared() { return shared_; }
  TimeServer& server() { return server_; }
  bool AcquisitionRunning() const { return shared_.lifecycle.AcquisitionRunning.load(); }
  bool SummerInEffect() const { return summer_.SummerInEffect; }
  // Enabled state of the "Commands to GPS" menu as the settings loader left it.
  bool CommandsMenuEnabled() const { return commands_menu_enabled_; }

 signals:
  // The start-up sequence failed with `message` (the operator must see it).
  void startupFailed(const QString& message);
  // Something the operator should know about how the time is kept.
  void notice(const QString& message);
  // The settings loader read the protocol line: the "Commands to GPS" menu
  // is to be enabled (Motorola) or disabled (NMEA).
  void commandsMenuEnabledChanged(bool enabled);
  // A restart (from the watchdog, the setup dialog or the queue) ended;
  // `started`: its start-up sequence completed and the acquisition runs.
  void restartFinished(bool started);

 private:
  void StartAcquisitionThread(std::vector<std::uint8_t> first_command);
  // The program's local time now, with the offset last evaluated.
  core::DateTime LocalNow() const;
  // Evaluates summer time for the current instant and reads PcNow_ in the
  // resulting local time.
  void ReadPcNowWithSummerState();
  // Says once what the operator should know about the clock after a start-up.
  void TellClockKeeping(bool privileged);
  void Notice(const std::string& message);
  // The stop itself, without running the restarts queued meanwhile.
  void StopThread();
  // One restart: close the port, stop, pause, FormCreate.
  core::Status RestartNow();
  // Runs the queued restarts, one for all requests queued together, unless
  // a lifecycle step is still under way (its end runs them).
  void RunQueuedRestarts();
  bool LifecycleStepUnderWay() const { return restarting_ || switching_ || stopping_; }
  void DispatchEvents();
  // Waits `pause` while the main thread's events keep flowing.
  void PauseDispatching(std::chrono::milliseconds pause);

  ServiceEnvironment env_;
  const ServiceOptions options_;
  SharedState shared_;
  QtMainLoop bridge_;  // before server_, which runs on it
  TimeServer server_;
  ReceiverDecoders decoders_;
  core::Settings settings_;
  core::TimeoutTable timeouts_ = core::DefaultTimeoutTable();
  core::DateTime PcNow_;  // the main thread's latest reading of the PC clock
  core::SummerSwitchState summer_;
  bool commands_menu_enabled_ = true;
  // The notices already given, so each is said once.
  std::string zone_notice_;
  bool privilege_notice_given_ = false;
  // The lifecycle step under way; each waits with events flowing.
  bool restarting_ = false;
  bool switching_ = false;  // a summer/zone switch
  bool stopping_ = false;
  bool ending_ = false;  // destroyed: queued restarts are dropped
  // The callers of the restart queued behind the step under way, in order.
  std::vector<RestartDone> queued_restarts_;
  // The chrony feed of the running acquisition, when its settings name one.
  std::unique_ptr<platform::RefclockSocket> refclock_socket_;
  std::unique_ptr<ChronyFeed> chrony_feed_;
  std::unique_ptr<comm_GPS_acq> acquisition_;
};

}  // namespace orvik::service

// GpsTimeService: the running system behind the windows and the headless
// program. It owns the LAN time server, the shared state, the decoders and
// the current acquisition run (service/acquisition_run.h), and carries out
// the start-up sequence, the stop, the restart and the watchdog. It runs its
// own periods on the main loop's timers (program_intervals.h): the 60-second
// watchdog, the 1-second display tick with the summer/zone check, and the
// 3-second communication check; each status tick tells the listeners a
// StatusSnapshot. The front ends only show what they are told and forward
// the operator's commands.
//
// The start-up sequence (FormCreate), strictly in this order: activate the
// listener on the TCP port (a second run keeps it and every client), load
// "GPS_parm.txt", gain the right to set the clock, read the PC clock, load
// "timeouts.txt", evaluate summer time (GMT_offsetClick; the GMT offset
// command it composes for a Motorola receiver is the new thread's first
// command), start the acquisition thread, remember the minute for the
// summer/zone check. An error in any step ends the sequence there: nothing
// later runs, startup_failed carries the message, and the watchdog tries
// again about once a minute.
//
// The PC clock is read and set in UTC; "the PC's time" here is the program's
// own local time, UTC plus the configured offset and summer hour. Things
// the operator should know once (the machine's zone differs from the
// configured offset; no right to set the clock; the Windows Time service
// sets the clock too) are told as notice at the
// start-up that finds them, and logged when logging is on; so is, once, the
// priority the reading thread reached, and the LAN service becoming full,
// which the status line also shows while it lasts.
//
// One step of the acquisition's lifecycle runs at a time: a restart, a stop
// or a summer/zone switch. Each is a sequence driven by the main loop's
// timers, so the loop goes on meanwhile (clients connect and are served,
// the acquisition thread's hand-overs run) and nothing runs inside anything
// else. Restarts and stops asked for meanwhile wait their turn, in order;
// restarts asked for together share one run, and each caller's `done`
// receives its result.
//
// Main thread only.
#pragma once

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
#include "platform/monotonic_clock.h"
#include "platform/refclock_socket.h"
#include "platform/serial_link.h"
#include "platform/system_clock.h"
#include "platform/thread_priority.h"
#include "platform/time_privilege.h"
#include "platform/windows_time_service_query.h"
#include "service/acquisition_run.h"
#include "service/acquisition_stop.h"
#include "service/acquisition_thread.h"
#include "service/event_log_writer.h"
#include "service/lifecycle_steps.h"
#include "service/main_loop.h"
#include "service/program_intervals.h"
#include "service/receiver_time_keeper.h"
#include "service/service_events.h"
#include "service/shared_state.h"
#include "service/status_ticks.h"
#include "service/time_server.h"

namespace orvik::service {

// What the service needs of the machine; all must outlive the service.
struct ServiceEnvironment {
  platform::SystemClock& clock;
  // Elapsed time: the serial links' arrival stamps, pauses and ages.
  const platform::MonotonicClock& monotonic;
  core::TextFiles& files;
  platform::TimePrivilege& privilege;
  // Raises each acquisition thread as far as the process may.
  platform::ThreadPriority& thread_priority;
  EventLogWriter& log;
  // The main thread's loop: timers, posted work and the thread's hand-overs.
  MainLoop& loop;
  // Where "COM<n>" is looked up.
  std::filesystem::path working_dir = ".";
  // Makes the serial link for each new acquisition thread.
  std::function<std::unique_ptr<platform::SerialLink>()> make_link;
  // Makes the socket to a chrony SOCK refclock at a path; unset: the
  // program always keeps the clock itself.
  std::function<std::unique_ptr<platform::RefclockSocket>(const std::string& path)>
      make_refclock_socket;
  // The Windows Time service, asked once at the first start-up whether it
  // sets the clock too (then the operator is told); null: not asked.
  const platform::WindowsTimeServiceQuery* windows_time = nullptr;
};

struct ServiceOptions {
  TimeServerOptions server;                                    // port 1609 in the programs
  std::chrono::milliseconds restart_pause{kRestartPause};      // between stop and start
  std::chrono::milliseconds stop_check_interval{100};          // StopAcquisition's checks
  std::chrono::milliseconds reopen_interval{kReopenInterval};  // a lost port is opened again
  std::chrono::milliseconds summer_switch_pause{1000};         // before a summer/zone switch
  std::chrono::milliseconds watchdog_interval{kWatchdogInterval};
  std::chrono::milliseconds display_tick_interval{kDisplayTickInterval};
  std::chrono::milliseconds communication_check_interval{kCommunicationCheckInterval};
};

class GpsTimeService {
 public:
  explicit GpsTimeService(ServiceEnvironment environment, ServiceOptions options = {});
  // Ends a running acquisition thread at once, without the loop (a hand-over
  // it waits in is released unserved); the server closes the listener and
  // every client. Steps still waiting are dropped, their callers not called.
  ~GpsTimeService();

  GpsTimeService(const GpsTimeService&) = delete;
  GpsTimeService& operator=(const GpsTimeService&) = delete;

  // The callbacks of `listener` run on each event until the subscription ends.
  [[nodiscard]] ServiceEvents::Subscription Listen(ServiceListener listener) {
    return events_.Listen(std::move(listener));
  }

  // The program's start: the watchdog and the communication check run from
  // now on, then the start-up sequence (FormCreate). Returns its error; the
  // watchdog tries again.
  core::Status Start();
  // The program's end: the periods stop, then the acquisition (as
  // StopAcquisition); `ended` (may be empty) runs once it has ended. Once.
  void End(std::function<void()> ended);

  // The start-up sequence above. Returns its error (also told as
  // startup_failed). A thread still running is ended first, at once. Once it
  // completes, the display tick runs.
  // REQUIRES: no stop under way (the programs run it at their start; a
  // restart runs it after its stop).
  core::Status FormCreate();
  // Asks for the stop: ends the acquisition thread (the stop request, up to
  // 31 checks stop_check_interval apart, then a wait until it has left its
  // body), after any step asked for earlier. `done` (may be empty) runs once
  // it has ended.
  void StopAcquisition(std::function<void()> done = {});
  // Ends the acquisition and the periods now, without the main loop, and
  // drops every step asked for: for the end of a session, when the system
  // ends the process as soon as the program returns. The thread still
  // writes "Stop".
  void EndAtOnce();

  // Receives a restart's result: the error of its start-up sequence, or ok.
  using RestartDone = LifecycleSteps::RestartDone;
  // Asks for a restart: close the port, stop the thread, pause
  // restart_pause, run FormCreate; `done` (may be empty) gets the result.
  // It runs from the loop after the steps asked for before it; requests
  // made before it begins share it.
  void RequestRestart(RestartDone done = {});
  // One period of each timer, exactly as the timer runs it (tests call them
  // instead of waiting).
  // The watchdog: restarts when no loop pass ran for a whole period (and so
  // retries a start-up sequence that failed). A tick while a step is under
  // way or waiting does nothing.
  void WatchdogTick();
  // The display tick: the summer/zone check, then (unless a switch began)
  // the display snapshot.
  void DisplayTick() { ticks_.DisplayTick(); }
  // The communication check and its snapshot.
  void CommunicationTick() { ticks_.CommunicationTick(); }
  // The display tick runs (a start-up sequence has completed).
  bool DisplayTickRunning() const { return ticks_.DisplayRunning(); }
  // A restart, stop or summer/zone switch is under way or waiting.
  bool LifecycleStepUnderWay() const { return steps_.Busy(); }

  // The summer/zone check of the display tick (does nothing while summer
  // time is off, and only once per minute of the PC clock). Returns true
  // when a switch begins: the tick then publishes nothing. The offset
  // changes after summer_switch_pause.
  bool SummerSwitchTick();

  // Receiver commands ("GMT difference", "Time transm. interval"). A value
  // the receiver cannot take composes nothing and returns why.
  core::Status GMT_offsetClick();
  core::Status Continuous_1sClick();

  // The settings as last loaded (the dialog edits a copy).
  const core::Settings& settings() const { return settings_; }
  // Takes the dialog's text forms, switches and protocol, saves
  // "GPS_parm.txt" and asks for a restart with `done`. Returns the save
  // failure (the acquisition is then left as it was and `done` is never
  // called), else ok: `done` receives the restart's result.
  core::Status ApplySettings(const core::Settings& edited, RestartDone done = {});

  SharedState& shared() { return shared_; }
  TimeServer& server() { return server_; }
  bool AcquisitionRunning() const { return shared_.lifecycle.AcquisitionRunning.load(); }
  bool SummerInEffect() const { return summer_.SummerInEffect; }
  // Enabled state of the "Commands to GPS" menu as the settings loader left it.
  bool CommandsMenuEnabled() const { return commands_menu_enabled_; }

 private:
  void StartAcquisitionThread(std::vector<std::uint8_t> first_command);
  // The program's local time now, with the offset last evaluated.
  core::DateTime LocalNow() const;
  // Evaluates summer time for the current instant and reads PcNow_ in the
  // resulting local time.
  void ReadPcNowWithSummerState();
  // Says once what the operator should know about the clock after a start-up.
  void TellClockKeeping(bool privileged);
  // Shows the status line while the LAN service is full, and tells the
  // operator (and the log) once each time it fills up.
  void TellServerFullness(bool full);
  // Tells the listeners' notice, and logs it when logging is on.
  void Notice(const std::string& message);
  // Begins the next waiting step from the loop when none is under way.
  void BeginFromLoop();
  // Begins the next waiting step when none is under way.
  void BeginNextStep();
  // Hands the run over to the stop; `ended` runs once it has ended.
  void BeginStop(std::function<void()> ended);
  // Waits `pause` from the loop, then EndPause.
  void Pause(std::chrono::milliseconds pause);
  void EndPause();
  void FinishRestart();

  // The notices given already, so each is said once.
  struct ToldOnce {
    std::string zone;
    bool privilege = false;
    bool windows_time_asked = false;
    bool priority = false;
  };
  // The restart's and the switch's pause.
  struct LoopPause {
    std::unique_ptr<LoopTimer> timer;
    core::MonotonicNanos end = 0;
  };

  ServiceEnvironment env_;
  const ServiceOptions options_;
  SharedState shared_;
  TimeServer server_;
  ReceiverTimeKeeper time_keeper_;
  core::Settings settings_;
  core::TimeoutTable timeouts_ = core::DefaultTimeoutTable();
  core::DateTime PcNow_;  // the main thread's latest reading of the PC clock
  core::SummerSwitchState summer_;
  bool commands_menu_enabled_ = true;
  ToldOnce told_;
  ServiceEvents events_;
  std::unique_ptr<LoopTimer> watchdog_;
  StatusTicks ticks_;
  bool ending_ = false;
  LifecycleSteps steps_;
  std::unique_ptr<LoopTimer> next_step_timer_;  // begins a step from the loop
  LoopPause pause_;
  AcquisitionStop stop_;
  // The running acquisition; a stop takes it over.
  std::unique_ptr<AcquisitionRun> run_;
};

}  // namespace orvik::service

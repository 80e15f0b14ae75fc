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
#include "platform/serial_link.h"
#include "platform/system_clock.h"
#include "platform/time_privilege.h"
#include "service/acquisition_thread.h"
#include "service/event_log_writer.h"
#include "service/qt_main_thread_bridge.h"
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
};

struct ServiceOptions {
  TimeServerOptions server;                                // port 1609 in the programs
  std::chrono::milliseconds restart_pause{3000};           // between stop and start
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
  void StopAcquisition();
  // Closes the port, stops the thread, pauses restart_pause, runs FormCreate.
  core::Status RestartAcquisition();
  // The 60-second watchdog: restarts when no loop pass ran for a whole period.
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
  // "GPS_parm.txt" and restarts. Returns the save failure (the acquisition
  // is then left as it was) or the start-up error.
  core::Status ApplySettings(const core::Settings& edited);

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
  void DispatchEvents();
  // Waits `pause` while the main thread's events keep flowing.
  void PauseDispatching(std::chrono::milliseconds pause);

  ServiceEnvironment env_;
  const ServiceOptions options_;
  SharedState shared_;
  TimeServer server_;
  QtMainThreadBridge bridge_;
  ReceiverDecoders decoders_;
  core::Settings settings_;
  core::TimeoutTable timeouts_ = core::DefaultTimeoutTable();
  core::DateTime PcNow_;  // the main thread's latest reading of the PC clock
  core::SummerSwitchState summer_;
  bool commands_menu_enabled_ = true;
  // The notices already given, so each is said once.
  std::string zone_notice_;
  bool privilege_notice_given_ = false;
  // A restart (or a summer switch) is waiting with events flowing: nested
  // restarts from the watchdog or the dialog are refused meanwhile.
  bool busy_ = false;
  std::unique_ptr<comm_GPS_acq> acquisition_;
};

}  // namespace orvik::service

// orvik-gpstimed: the time server without windows, for servers and services.
// No arguments; works in its current directory ("GPS_parm.txt",
// "timeouts.txt", "GPS_log.txt", "COM<n>"). Status lines go to stderr; it
// ends in order on SIGTERM or SIGINT.
#include <QCoreApplication>
#include <QTimer>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

#include "core/visible_text.h"
#include "platform/posix_serial_link.h"
#include "platform/posix_system_clock.h"
#include "platform/posix_text_files.h"
#include "platform/posix_time_privilege.h"
#include "service/communication_monitor.h"
#include "service/file_event_log.h"
#include "service/gps_time_service.h"
#include "service/termination_signals.h"

namespace {

// The longest status line written; messages echo at most a glance of any
// file text, this bounds whatever else might reach stderr.
constexpr std::size_t kMaxStatusLineCharacters = 400;

// One status line on stderr. Any thread: stdio locks the stream per call.
void Say(const std::string& line) {
  const std::string visible = orvik::core::VisibleText(line, kMaxStatusLineCharacters);
  std::fprintf(stderr, "orvik-gpstimed: %s\n", visible.c_str());
  std::fflush(stderr);
}

}  // namespace

int main(int argc, char* argv[]) {
  using namespace orvik;
  QCoreApplication app(argc, argv);
  // Before any thread exists, so that every thread leaves the signals to it.
  service::TerminationSignals termination;

  platform::PosixSystemClock clock;
  platform::PosixTextFiles files(".");
  platform::PosixTimePrivilege privilege;
  service::FileEventLog log(".", [](const std::string& message) { Say(message); });
  service::GpsTimeService system(service::ServiceEnvironment{
      clock, files, privilege, log, ".", [] { return std::make_unique<platform::PosixSerialLink>(); }});
  QObject::connect(&system, &service::GpsTimeService::startupFailed,
                   [](const QString& message) { Say(message.toStdString()); });

  // The watchdog also retries a start-up that failed, once a minute.
  QTimer watchdog;
  QObject::connect(&watchdog, &QTimer::timeout, [&] { system.WatchdogTick(); });
  watchdog.start(60'000);
  QTimer second_tick;
  QObject::connect(&second_tick, &QTimer::timeout, [&] { system.SummerSwitchTick(); });
  service::CommunicationMonitor monitor;
  QTimer communication_tick;
  QObject::connect(&communication_tick, &QTimer::timeout, [&] {
    if (auto line = monitor.Tick(system.shared())) Say(*line);
  });
  communication_tick.start(3000);

  if (system.FormCreate().ok()) {
    second_tick.start(1000);
    Say("serving time on TCP port 1609; receiver on COM" +
        std::to_string(system.settings().PortNumber & 0xFF));
  }

  QObject::connect(&termination, &service::TerminationSignals::received, &app,
                   [&](int) { app.quit(); });
  app.exec();
  watchdog.stop();
  second_tick.stop();
  communication_tick.stop();
  system.StopAcquisition();
  Say("stopped");
  return 0;
}

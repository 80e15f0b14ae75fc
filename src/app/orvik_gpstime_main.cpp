// orvik-gpstime: the desktop time server. No arguments but "--version"; works in its current
// directory ("GPS_parm.txt", "timeouts.txt", "GPS_log.txt", "COM<n>"). After
// start-up it lives in the notification area ("GPS Time"); "Exit" in the
// icon's menu, SIGTERM, SIGINT, SIGHUP or SIGQUIT end it in order; SIGUSR1
// is ignored.
#include <QApplication>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "orvik_version.h"
#include "platform/monotonic_clock.h"
#include "platform/posix/open_file_limit.h"
#include "platform/posix/posix_refclock_socket.h"
#include "platform/posix/posix_serial_link.h"
#include "platform/posix/posix_standard_descriptors.h"
#include "platform/posix/posix_system_clock.h"
#include "platform/posix/posix_termination_requests.h"
#include "platform/posix/posix_text_files.h"
#include "platform/posix/posix_thread_priority.h"
#include "platform/posix/posix_time_privilege.h"
#include "service/file_event_log.h"
#include "service/gps_time_service.h"
#include "service/qt/qt_main_loop.h"
#include "ui/qt/desktop_program.h"
#include "ui/qt/message_box_reporter.h"

int main(int argc, char* argv[]) {
  using namespace orvik;
  // Answered before the GUI starts, so it needs no display.
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::printf("orvik-gpstime %s\n", kVersion);
    return 0;
  }
  // Before the GUI opens anything or starts its own threads, which inherit
  // the signal mask, so that only the event loop receives the termination
  // signals (through PosixTerminationRequests).
  platform::OpenMissingStandardDescriptors();
  platform::PrepareProcessSignals();
  platform::RaiseOpenFileLimit();  // one descriptor per LAN client

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("orvik-gpstime"));
  // The program lives on in the notification area with every window closed.
  QApplication::setQuitOnLastWindowClosed(false);
  service::QtMainLoop loop;

  const std::filesystem::path working_dir = ".";
  platform::PosixSystemClock clock;
  platform::PosixTextFiles files(working_dir);
  platform::PosixTimePrivilege privilege;
  platform::PosixThreadPriority thread_priority;
  // The event log's notices can come from the acquisition thread: they are
  // posted to the main thread and shown in a box of their own.
  ui::MessageBoxReporter log_notices;
  service::FileEventLog log(working_dir, [&loop, &log_notices](const std::string& message) {
    loop.Post([&log_notices, text = QString::fromStdString(message)] { log_notices.Report(text); });
  });
  service::GpsTimeService service(service::ServiceEnvironment{
      .clock = clock,
      .monotonic = platform::MachineMonotonicClock(),
      .files = files,
      .privilege = privilege,
      .thread_priority = thread_priority,
      .log = log,
      .loop = loop,
      .working_dir = working_dir,
      .make_link =
          [] {
            return std::make_unique<platform::PosixSerialLink>(platform::MachineMonotonicClock());
          },
      .make_refclock_socket =
          [](const std::string& path) {
            return std::make_unique<platform::PosixRefclockSocket>(path);
          },
  });

  ui::DesktopProgram program(service);
  program.ShowAtStart();
  // Its requests reach the program through the loop; gone before the program.
  platform::PosixTerminationRequests termination;
  termination.Listen(
      [&loop, &program](int) { loop.Post([&program] { program.trayOwner().Exit1Click(); }); });
  loop.Run();
  return 0;
}

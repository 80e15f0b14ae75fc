// orvik-gpstimed: the time server without windows, for servers and services.
// No arguments but "--version"; works in its current directory ("GPS_parm.txt",
// "timeouts.txt", "GPS_log.txt", "COM<n>"). Status lines go to stderr; it
// ends in order on SIGTERM, SIGINT, SIGHUP or SIGQUIT and ignores SIGUSR1.
#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "core/visible_text.h"
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
#include "service/headless_program.h"
#include "service/posix/epoll_main_loop.h"

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
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::printf("orvik-gpstimed %s\n", kVersion);
    return 0;
  }
  // Before anything is opened and before any thread exists.
  platform::OpenMissingStandardDescriptors();
  platform::PrepareProcessSignals();
  platform::RaiseOpenFileLimit();  // one descriptor per LAN client
  // epoll alone, no Qt: a server's memory stays small, and a pass of the
  // loop costs what is ready, not how many clients are connected.
  service::EpollMainLoop loop;

  platform::PosixSystemClock clock;
  platform::PosixTextFiles files(".");
  platform::PosixTimePrivilege privilege;
  platform::PosixThreadPriority thread_priority;
  service::FileEventLog log(".", [](const std::string& message) { Say(message); });
  service::GpsTimeService system(service::ServiceEnvironment{
      .clock = clock,
      .monotonic = platform::MachineMonotonicClock(),
      .files = files,
      .privilege = privilege,
      .thread_priority = thread_priority,
      .log = log,
      .loop = loop,
      .working_dir = ".",
      .make_link =
          [] {
            return std::make_unique<platform::PosixSerialLink>(platform::MachineMonotonicClock());
          },
      .make_refclock_socket =
          [](const std::string& path) {
            return std::make_unique<platform::PosixRefclockSocket>(path);
          },
  });
  service::HeadlessProgram program(loop, system,
                                   service::HeadlessOptions{.say = Say, .report = {}});
  // Its requests reach the program through the loop; gone before the program.
  platform::PosixTerminationRequests termination;
  return program.Run(termination);
}

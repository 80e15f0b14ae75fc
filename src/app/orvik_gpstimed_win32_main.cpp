// orvik-gpstimed.exe: the time server without windows, as a Windows console
// program. No arguments but "--version"; works in its current directory
// ("GPS_parm.txt", "timeouts.txt", "GPS_log.txt"), the receiver on the COM
// port its settings name. Status lines go to stderr; Ctrl+C, Ctrl+Break,
// closing the console, log-off and shut-down end it in order.
#include <winsock2.h>  // before <windows.h>, which the Win32 headers include

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "core/visible_text.h"
#include "orvik_version.h"
#include "platform/monotonic_clock.h"
#include "platform/win32/win32_serial_link.h"
#include "platform/win32/win32_system_clock.h"
#include "platform/win32/win32_termination_requests.h"
#include "platform/win32/win32_text_files.h"
#include "platform/win32/win32_thread_priority.h"
#include "platform/win32/win32_time_privilege.h"
#include "service/file_event_log.h"
#include "service/gps_time_service.h"
#include "service/headless_program.h"
#include "service/win32/win32_main_loop.h"
#include "service/win32/winsock_session.h"

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
  const service::WinsockSession winsock;
  if (!winsock.ok()) {
    Say("Windows Sockets could not be started");
    return 1;
  }
  service::Win32MainLoop loop;

  platform::Win32SystemClock clock;
  platform::Win32TextFiles files(".");
  platform::Win32TimePrivilege privilege;
  platform::Win32ThreadPriority thread_priority;
  service::FileEventLog log(".", [](const std::string& message) { Say(message); });
  // No chrony on Windows: the program always keeps the clock itself.
  service::GpsTimeService system(service::ServiceEnvironment{
      .clock = clock,
      .monotonic = platform::MachineMonotonicClock(),
      .files = files,
      .privilege = privilege,
      .thread_priority = thread_priority,
      .log = log,
      .loop = loop,
      .working_dir = ".",
      .make_link = [] { return std::make_unique<platform::Win32SerialLink>(platform::MachineMonotonicClock()); },
      .make_refclock_socket = {},
  });
  service::HeadlessProgram program(loop, system, service::HeadlessOptions{.say = Say});
  // Its requests reach the program through the loop; gone before the program.
  platform::Win32TerminationRequests termination;
  const int exit_code = program.Run(termination);
  // After closing the console Windows ends the process as soon as the
  // console handler returns: it waits for this.
  termination.Ended();
  return exit_code;
}

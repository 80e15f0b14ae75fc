#include "service/win32/headless_windows_run.h"

#include <winsock2.h>  // before <windows.h>, which the Win32 headers include

#include <filesystem>
#include <memory>
#include <optional>
#include <utility>

#include "platform/win32/win32_data_folder.h"
#include "platform/win32/win32_service_manager_link.h"
#include "platform/win32/win32_single_instance.h"
#include "platform/win32/win32_system_event_log.h"
#include "platform/win32/win32_termination_requests.h"
#include "service/file_event_log.h"
#include "service/gps_time_service.h"
#include "service/headless_program.h"
#include "service/system_service_run.h"
#include "service/win32/win32_machine.h"
#include "service/win32/win32_main_loop.h"
#include "service/win32/winsock_session.h"

namespace orvik::service {

namespace {

// What one headless run is made of, built in this order and destroyed in
// the reverse one. REQUIRES: Winsock started.
struct HeadlessParts {
  HeadlessParts(const std::filesystem::path& folder, FileEventLog::Notice log_notice,
                const std::function<HeadlessOptions()>& options)
      : machine(folder),
        log(folder, std::move(log_notice)),
        system(machine.Environment(log, loop)),
        program(loop, system, options()) {}

  Win32MainLoop loop;
  Win32Machine machine;
  FileEventLog log;
  GpsTimeService system;
  HeadlessProgram program;
};

// The service's run, from its start pending to its end; returns the exit
// code told with "stopped" (0: an orderly end).
int RunService(platform::Win32ServiceManagerLink& manager, platform::SystemEventLog& events) {
  using platform::EventSeverity;
  const platform::Win32SingleInstance instance;
  if (!instance.first()) {
    events.Write(EventSeverity::kError, kAlreadyRunningLine);
    return 2;
  }
  const std::optional<std::filesystem::path> folder = platform::ServiceDataFolder();
  if (!folder) {
    events.Write(EventSeverity::kError, "the data folder in ProgramData could not be made");
    return 3;
  }
  // Nothing of the service's lands in the system folder it was started in.
  ::SetCurrentDirectoryW(folder->c_str());
  const WinsockSession winsock;
  if (!winsock.ok()) {
    events.Write(EventSeverity::kError, "Windows Sockets could not be started");
    return 4;
  }
  SystemServiceRun run(manager, events);
  HeadlessParts parts(
      *folder,
      [&events](const std::string& message) { events.Write(EventSeverity::kWarning, message); },
      // A service has no console: its status lines go to the event log only.
      [&run] { return run.ProgramOptions([](const std::string&) {}); });
  return run.Run(parts.loop, parts.program);
}

void WINAPI ServiceMain(DWORD /*argc*/, LPWSTR* /*argv*/) {
  platform::Win32ServiceManagerLink manager(platform::kTimeServiceName);
  if (!manager.ok()) return;
  manager.Report(platform::ServiceState::kStartPending);
  platform::Win32SystemEventLog events;
  const int exit_code = RunService(manager, events);
  manager.Report(platform::ServiceState::kStopped, exit_code);
}

}  // namespace

platform::WindowsServiceIdentity TimeServerServiceIdentity() {
  return platform::WindowsServiceIdentity{
      .name = platform::kTimeServiceName,
      .display_name = L"Orvik GPS Time",
      .description =
          L"Keeps this PC's clock set from a GPS receiver on a serial port and "
          L"serves the time to LAN clients on TCP port 1609.",
      .event_source = platform::Win32SystemEventLog::kSourceName,
  };
}

int RunConsoleTimeServer(const SayLine& say) {
  const platform::Win32SingleInstance instance;
  if (!instance.first()) {
    say(kAlreadyRunningLine);
    return 1;
  }
  const WinsockSession winsock;
  if (!winsock.ok()) {
    say("Windows Sockets could not be started");
    return 1;
  }
  int exit_code = 0;
  {
    HeadlessParts parts(".", say, [&say] { return HeadlessOptions{.say = say, .report = {}}; });
    // Its requests reach the program through the loop; gone before the
    // program.
    platform::Win32TerminationRequests termination;
    exit_code = parts.program.Run(termination);
    // After closing the console, and at log-off and shut-down, Windows ends
    // the process as soon as the handler returns: it waits for this.
    termination.Ended();
  }
  return exit_code;
}

bool RunTimeServerService() {
  std::wstring name = platform::kTimeServiceName;
  SERVICE_TABLE_ENTRYW table[] = {{name.data(), &ServiceMain}, {nullptr, nullptr}};
  return ::StartServiceCtrlDispatcherW(table) != FALSE;
}

}  // namespace orvik::service

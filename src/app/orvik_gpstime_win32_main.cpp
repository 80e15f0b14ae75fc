// orvik-gpstime.exe: the desktop time server for Windows. No arguments.
// While the time service "OrvikGpsTime" runs, it shows the service's time
// and edits the service's settings (%ProgramData%\Orvik GPS Time) instead
// of reading the receiver itself. Otherwise it works in its current
// directory ("GPS_parm.txt", "timeouts.txt", "GPS_log.txt"; the receiver on
// COM<n>). After start-up it lives in the notification area ("GPS Time");
// "Exit" in the icon's menu ends it in order. A second copy says that one
// runs and brings the first one's status window to the front.
#include <winsock2.h>  // with <windows.h> after it, as Winsock needs
#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>

#include "platform/win32/win32_data_folder.h"
#include "platform/win32/win32_service_control.h"
#include "platform/win32/win32_single_instance.h"
#include "platform/win32/win32_system_clock.h"
#include "platform/win32/win32_text_files.h"
#include "service/file_event_log.h"
#include "service/gps_time_service.h"
#include "service/win32/win32_machine.h"
#include "service/win32/win32_main_loop.h"
#include "service/win32/winsock_session.h"
#include "ui/win32/desktop_program.h"
#include "ui/win32/error_box.h"
#include "ui/win32/program_instances.h"
#include "ui/win32/service_view_program.h"

namespace {

using namespace orvik;

constexpr const wchar_t* kTitle = L"Orvik GPS Time";

// The service keeps the clock: this program shows its records.
void RunBesideService(service::Win32MainLoop& loop, platform::ServiceControl& service_control) {
  platform::Win32SystemClock clock;
  // The running service has made its folder; the usual place stands in when
  // the system names none (the files then report why they cannot be read).
  platform::Win32TextFiles service_files(platform::ServiceDataFolder().value_or(
      std::filesystem::path(L"C:\\ProgramData") / platform::kDataFolderName));
  ui::win32::ServiceViewProgram program(ui::win32::ServiceViewEnvironment{
      .loop = loop, .service = service_control, .service_files = service_files, .clock = clock});
  loop.Run();
}

// No service: this program reads the receiver and keeps the clock itself.
void RunOnItsOwn(service::Win32MainLoop& loop) {
  const std::filesystem::path working_dir = ".";
  service::Win32Machine machine(working_dir);
  // The event log's notices can come from the acquisition thread: they are
  // posted to the main thread and shown in a box of their own.
  ui::win32::ErrorBox log_notices;
  loop.AddDialog(log_notices.handle());
  service::FileEventLog log(working_dir, [&loop, &log_notices](const std::string& message) {
    loop.Post([&log_notices, message] { log_notices.Report(message); });
  });
  {
    service::GpsTimeService service(machine.Environment(log, loop));
    ui::win32::DesktopProgram program(service, loop);
    loop.Run();
  }
  loop.RemoveDialog(log_notices.handle());
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // One desktop program per session.
  const platform::Win32SingleInstance desktop(ui::win32::kDesktopMutexName);
  if (!desktop.first()) {
    ::MessageBoxW(nullptr,
                  L"Orvik GPS Time is already running: its status window comes to the front.",
                  kTitle, MB_OK | MB_ICONINFORMATION);
    ui::win32::BringFirstCopyForward();
    return 0;
  }
  const service::WinsockSession winsock;
  service::Win32MainLoop loop;
  platform::Win32ServiceControl service_control;
  if (service_control.State() == platform::TimeServiceState::kRunning) {
    RunBesideService(loop, service_control);
    return 0;
  }
  // One time server per PC: the receiver's port and port 1609 are its own.
  const platform::Win32SingleInstance server;
  if (!server.first()) {
    ::MessageBoxW(nullptr,
                  L"Another Orvik GPS Time server (orvik-gpstimed.exe) is running on this PC: it "
                  L"reads the receiver and serves port 1609. End it before starting this program.",
                  kTitle, MB_OK | MB_ICONERROR);
    return 1;
  }
  RunOnItsOwn(loop);
  return 0;
}

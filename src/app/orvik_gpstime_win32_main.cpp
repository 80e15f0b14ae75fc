// orvik-gpstime.exe: the desktop time server for Windows. No arguments;
// works in its current directory ("GPS_parm.txt", "timeouts.txt",
// "GPS_log.txt"; the receiver on COM<n>). After start-up it lives in the
// notification area ("GPS Time"); "Exit" in the icon's menu ends it in order.
#include <winsock2.h>  // with <windows.h> after it, as Winsock needs

#include <filesystem>
#include <memory>
#include <string>

#include "platform/monotonic_clock.h"
#include "platform/win32/win32_serial_link.h"
#include "platform/win32/win32_system_clock.h"
#include "platform/win32/win32_text_files.h"
#include "platform/win32/win32_thread_priority.h"
#include "platform/win32/win32_time_privilege.h"
#include "platform/win32/win32_windows_time_service_query.h"
#include "service/file_event_log.h"
#include "service/gps_time_service.h"
#include "service/win32/win32_main_loop.h"
#include "service/win32/winsock_session.h"
#include "ui/win32/desktop_program.h"
#include "ui/win32/error_box.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace orvik;
  const service::WinsockSession winsock;
  service::Win32MainLoop loop;

  const std::filesystem::path working_dir = ".";
  platform::Win32SystemClock clock;
  platform::Win32TextFiles files(working_dir);
  platform::Win32TimePrivilege privilege;
  platform::Win32ThreadPriority thread_priority;
  const platform::Win32WindowsTimeServiceQuery windows_time;
  // The event log's notices can come from the acquisition thread: they are
  // posted to the main thread and shown in a box of their own.
  ui::win32::ErrorBox log_notices;
  loop.AddDialog(log_notices.handle());
  service::FileEventLog log(working_dir, [&loop, &log_notices](const std::string& message) {
    loop.Post([&log_notices, message] { log_notices.Report(message); });
  });
  {
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
              return std::make_unique<platform::Win32SerialLink>(platform::MachineMonotonicClock());
            },
        .make_refclock_socket = {},
        .windows_time = &windows_time,
    });
    ui::win32::DesktopProgram program(service, loop);
    loop.Run();
  }
  loop.RemoveDialog(log_notices.handle());
  return 0;
}

// Win32Machine: the Windows machine a GpsTimeService runs on, the same for
// the desktop program, the console program and the Windows service: the
// system clock, the text files of its working folder, the right to set the
// clock, the reading thread's priority, the Windows Time service's state,
// and a new serial link for each acquisition. No chrony on Windows: the
// program always keeps the clock itself. Main thread; it must outlive the
// service built on it.
#pragma once

#include <winsock2.h>  // before <windows.h>, which the Win32 headers include

#include <filesystem>

#include "platform/win32/win32_system_clock.h"
#include "platform/win32/win32_text_files.h"
#include "platform/win32/win32_thread_priority.h"
#include "platform/win32/win32_time_privilege.h"
#include "platform/win32/win32_windows_time_service_query.h"
#include "service/event_log_writer.h"
#include "service/gps_time_service.h"
#include "service/main_loop.h"

namespace orvik::service {

class Win32Machine {
 public:
  // Works in `folder` ("GPS_parm.txt", "timeouts.txt", "COM<n>").
  explicit Win32Machine(std::filesystem::path folder);

  // The service's environment on this machine, with `log` and `loop`
  // (both must outlive the service).
  ServiceEnvironment Environment(EventLogWriter& log, MainLoop& loop);

 private:
  const std::filesystem::path folder_;
  platform::Win32SystemClock clock_;
  platform::Win32TextFiles files_;
  platform::Win32TimePrivilege privilege_;
  platform::Win32ThreadPriority thread_priority_;
  const platform::Win32WindowsTimeServiceQuery windows_time_;
};

}  // namespace orvik::service

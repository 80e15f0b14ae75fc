#include "service/win32/win32_machine.h"

#include <memory>
#include <utility>

#include "platform/monotonic_clock.h"
#include "platform/win32/win32_serial_link.h"

namespace orvik::service {

Win32Machine::Win32Machine(std::filesystem::path folder)
    : folder_(std::move(folder)), files_(folder_) {}

ServiceEnvironment Win32Machine::Environment(EventLogWriter& log, MainLoop& loop) {
  return ServiceEnvironment{
      .clock = clock_,
      .monotonic = platform::MachineMonotonicClock(),
      .files = files_,
      .privilege = privilege_,
      .thread_priority = thread_priority_,
      .log = log,
      .loop = loop,
      .working_dir = folder_,
      .make_link =
          [] {
            return std::make_unique<platform::Win32SerialLink>(platform::MachineMonotonicClock());
          },
      .make_refclock_socket = {},
      .windows_time = &windows_time_,
  };
}

}  // namespace orvik::service

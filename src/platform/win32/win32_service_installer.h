// Registering the time server as a Windows service and removing it again:
// the service (own process, automatic start, the LocalService account, its
// description) in the service control manager, and its event source in the
// registry. Needs administrator rights. Main thread.
#pragma once

#include <string>

#include "core/status.h"

namespace orvik::platform {

struct WindowsServiceIdentity {
  std::wstring name;          // the service's key name ("OrvikGpsTime")
  std::wstring display_name;  // what the Services list shows
  std::wstring description;
  std::wstring event_source;  // the Application log's source, "" for none
};

// Registers the service to run `command_line` (the program's quoted path
// and arguments), or updates a service of that name already there, and the
// event source with `message_file` (the program) as its message table.
core::Status InstallWindowsService(const WindowsServiceIdentity& identity,
                                   const std::wstring& command_line,
                                   const std::wstring& message_file);

// Stops the service when it runs (waits for its end, bounded), removes it
// and its event source. A service that is not there is no error.
core::Status UninstallWindowsService(const WindowsServiceIdentity& identity);

}  // namespace orvik::platform

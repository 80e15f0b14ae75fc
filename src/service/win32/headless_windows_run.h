// The time server without windows on Windows (orvik-gpstimed.exe), in its
// two forms:
//   - the console program, run by hand: works in the current directory,
//     status lines on stderr, ends in order on Ctrl+C, Ctrl+Break, closing
//     the console, log-off and shut-down;
//   - the Windows service "OrvikGpsTime", started by the service manager
//     with "--service": works in the data folder ("<ProgramData>\Orvik GPS
//     Time"), tells the manager its states and the event log its start,
//     stop and errors, ends in order on the manager's stop or shut-down.
// Either ends at once, saying why, when another copy already serves.
// Main thread (the service runs in the thread the manager gives it).
#pragma once

#include <functional>
#include <string>

#include "platform/win32/win32_service_control.h"
#include "platform/win32/win32_service_installer.h"

namespace orvik::service {

// Writes one status line (the console program's stderr).
using SayLine = std::function<void(const std::string& line)>;

// The service's name, display name, description and event source.
platform::WindowsServiceIdentity TimeServerServiceIdentity();

// The console program; returns its exit code.
int RunConsoleTimeServer(const SayLine& say);

// Hands the process to the service manager, which runs the service in a
// thread of its own; returns once it has stopped. False when the process was
// not started by the manager (then nothing ran).
bool RunTimeServerService();

// What another copy is told when one is already serving.
inline constexpr char kAlreadyRunningLine[] =
    "another Orvik GPS Time server (the service or a program) already runs on this PC; this "
    "copy ends";

}  // namespace orvik::service

// WindowsTimeNotice: whether the Windows Time service (w32time) also sets the
// PC clock, and what the operator is told then. Pure; any thread.
//
// The service sets the clock when it runs and its sync type (the registry
// value Parameters\Type) is anything but "NoSync": "NTP" takes the time from
// the servers in Parameters\NtpServer, "NT5DS" from the domain hierarchy,
// "AllSync" from both. A missing or unknown type counts as syncing from the
// servers named, since that is what the service does without one.
#pragma once

#include <string>
#include <string_view>

namespace orvik::core {

// What the machine says about its Windows Time service.
struct WindowsTimeServiceFacts {
  bool running = false;
  std::string sync_type;   // Parameters\Type, "" when absent
  std::string ntp_server;  // Parameters\NtpServer, "" when absent
};

// The servers of an NtpServer value ("a.example,0x9 b.example,0x1"): the
// names without their ",flags", separated by ", ". "" when it names none.
std::string NtpServerNames(std::string_view ntp_server);

// Where the service takes its time from ("time.windows.com", "the domain
// hierarchy", ...), or "" when it does not set the clock.
std::string WindowsTimeSource(const WindowsTimeServiceFacts& facts);

// The operator's notice when the service sets the clock: "The Windows Time
// service also sets this clock from <source>: " and what to do; else "".
std::string WindowsTimeNotice(const WindowsTimeServiceFacts& facts);

}  // namespace orvik::core

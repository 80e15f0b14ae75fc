// Why a receiver port could not be opened, and the sentence that tells the
// operator so ("COM3: no such port"). The serial links sort the system's
// error into a PortFault; the sentence is composed here, the same on every
// system. Pure; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvik::core {

enum class PortFault {
  kNoSuchPort,     // nothing answers to the name: no device, an unplugged adapter
  kInUse,          // another program holds the port
  kNoPermission,   // this user may not open the device
  kNotSerialPort,  // the name opens something that is no serial port
  kOther,          // any other reason: the system's own words tell it
};

struct PortOpenFailure {
  PortFault fault = PortFault::kOther;
  // The system's words for the error ("Input/output error"); shown for
  // kOther, where no sentence of ours says more.
  std::string system_text;

  friend bool operator==(const PortOpenFailure&, const PortOpenFailure&) = default;
};

// "COM<n>: <reason>", e.g. "COM3: access denied (in use by another program)".
// `device` is what was opened for the port; it is named in parentheses after
// the port ("COM3 (/dev/ttyS2): no such port") unless its last path
// component is the port's own name ("./COM3", "\\.\COM3").
std::string PortOpenProblem(std::uint8_t com_number, std::string_view device,
                            const PortOpenFailure& failure);

// The log line once the port opens after a failure was told: "COM3: open".
std::string PortOpenedAgain(std::uint8_t com_number);

}  // namespace orvik::core

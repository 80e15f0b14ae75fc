#include "core/port_open_problem.h"

#include <algorithm>
#include <cctype>

#include "core/visible_text.h"

namespace orvik::core {
namespace {

std::string ComName(std::uint8_t com_number) { return "COM" + std::to_string(com_number); }

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::toupper(static_cast<unsigned char>(x)) ==
           std::toupper(static_cast<unsigned char>(y));
  });
}

// The device's last path component, for either kind of separator.
std::string_view LastComponent(std::string_view device) {
  const std::size_t separator = device.find_last_of("/\\");
  return separator == std::string_view::npos ? device : device.substr(separator + 1);
}

std::string Reason(const PortOpenFailure& failure) {
  switch (failure.fault) {
    case PortFault::kNoSuchPort:
      return "no such port";
    case PortFault::kInUse:
      return "access denied (in use by another program)";
    case PortFault::kNoPermission:
      return "access denied (this user may not open it)";
    case PortFault::kNotSerialPort:
      return "not a serial port";
    case PortFault::kOther:
      break;
  }
  if (failure.system_text.empty()) return "cannot be opened";
  return "cannot be opened (" + EchoedText(failure.system_text) + ")";
}

}  // namespace

std::string PortOpenProblem(std::uint8_t com_number, std::string_view device,
                            const PortOpenFailure& failure) {
  const std::string name = ComName(com_number);
  std::string port = name;
  if (!device.empty() && !SameNameIgnoringCase(LastComponent(device), name)) {
    port += " (" + EchoedText(device) + ")";
  }
  return port + ": " + Reason(failure);
}

std::string PortOpenedAgain(std::uint8_t com_number) { return ComName(com_number) + ": open"; }

}  // namespace orvik::core

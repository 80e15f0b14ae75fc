// On Windows a COM port is a device of the system's own: "\\.\COM<n>"
// (the prefix makes COM10 and above work too), wherever the program runs.
#include "platform/com_port_path.h"
#include "platform/win32/win32_serial_link.h"

namespace orvik::platform {

std::string ComDevicePath(std::uint8_t com_number, const std::filesystem::path&) {
  return Win32ComDevicePath(com_number);
}

}  // namespace orvik::platform

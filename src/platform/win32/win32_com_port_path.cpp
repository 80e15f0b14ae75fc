// ComDevicePath on Windows: COM port n is the device "\\.\COM<n>" whatever
// the working directory holds.
#include "platform/com_port_path.h"
#include "platform/win32/win32_serial_link.h"

namespace orvik::platform {

std::string ComDevicePath(std::uint8_t com_number, const std::filesystem::path& /*working_dir*/) {
  return Win32ComDevicePath(com_number);
}

}  // namespace orvik::platform

#include <system_error>

#include "platform/com_port_path.h"

namespace orvik::platform {

std::string ComDevicePath(std::uint8_t com_number, const std::filesystem::path& working_dir) {
  const std::filesystem::path entry = working_dir / ("COM" + std::to_string(com_number));
  // symlink_status does not follow the link: a link whose target is missing
  // still names the port (the receiver may be plugged in later).
  std::error_code error;
  const auto status = std::filesystem::symlink_status(entry, error);
  if (com_number == 0 || std::filesystem::exists(status)) return entry.string();
  return "/dev/ttyS" + std::to_string(com_number - 1);
}

}  // namespace orvik::platform

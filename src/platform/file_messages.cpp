#include "platform/file_messages.h"

namespace orvik::platform {

std::string NotRegularFileMessage(const std::filesystem::path& path) {
  return "'" + path.string() + "' is not a regular file";
}

}  // namespace orvik::platform

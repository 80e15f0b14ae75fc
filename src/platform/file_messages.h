// The texts the program uses for files that are not what they must be.
#pragma once

#include <filesystem>
#include <string>

namespace orvik::platform {

// Returns "'<path>' is not a regular file", the one message for every file
// of the program that turns out to be something else.
std::string NotRegularFileMessage(const std::filesystem::path& path);

}  // namespace orvik::platform

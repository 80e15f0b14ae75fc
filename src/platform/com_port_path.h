// Maps a COM port number to the serial device the program opens.
// Pure function of the file system; any thread may call it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace orvik::platform {

// Returns the path of COM port `com_number`: the entry "COM<n>" in
// `working_dir` when one exists (any kind of entry, a dangling symlink too),
// else "/dev/ttyS<n-1>". Port 0 has no ttyS device, so it always names the
// working-directory entry.
std::string ComDevicePath(std::uint8_t com_number, const std::filesystem::path& working_dir);

}  // namespace orvik::platform

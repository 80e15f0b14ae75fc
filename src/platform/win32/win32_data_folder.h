// The service's data folder: "<ProgramData>\Orvik GPS Time" (normally
// C:\ProgramData\Orvik GPS Time), where it keeps "GPS_parm.txt",
// "timeouts.txt" and "GPS_log.txt". Main thread.
#pragma once

#include <filesystem>
#include <optional>

namespace orvik::platform {

inline constexpr wchar_t kDataFolderName[] = L"Orvik GPS Time";

// The folder, made when missing; nullopt when the system names no
// ProgramData folder or the folder cannot be made.
std::optional<std::filesystem::path> ServiceDataFolder();

}  // namespace orvik::platform

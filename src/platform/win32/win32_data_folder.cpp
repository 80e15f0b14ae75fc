#include "platform/win32/win32_data_folder.h"

#include <windows.h>

// Both build on <windows.h>.
#include <knownfolders.h>
#include <shlobj.h>

#include <system_error>

namespace orvik::platform {

std::optional<std::filesystem::path> ServiceDataFolder() {
  wchar_t* program_data = nullptr;
  const HRESULT found =
      ::SHGetKnownFolderPath(FOLDERID_ProgramData, KF_FLAG_DEFAULT, nullptr, &program_data);
  if (FAILED(found) || program_data == nullptr) {
    ::CoTaskMemFree(program_data);
    return std::nullopt;
  }
  std::filesystem::path folder = std::filesystem::path(program_data) / kDataFolderName;
  ::CoTaskMemFree(program_data);
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error || !std::filesystem::is_directory(folder, error)) return std::nullopt;
  return folder;
}

}  // namespace orvik::platform

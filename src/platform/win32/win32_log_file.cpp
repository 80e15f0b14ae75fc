#include <windows.h>

#include <algorithm>
#include <utility>

#include "platform/log_file.h"
#include "platform/win32/win32_error_text.h"

namespace orvik::platform {
namespace {

HANDLE AsHandle(std::intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

LogFile::Opened LogFile::Open(const std::filesystem::path& path) {
  Opened result;
  // A directory under the log's name is refused before the open; a device
  // (CON, NUL, COM1 ...) opens but is no disk file, and is let go at once.
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    result.not_regular = true;
    return result;
  }
  // Shared for deletion, so that the open log can be renamed to the backup.
  const HANDLE file = ::CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return result;
  if (::GetFileType(file) != FILE_TYPE_DISK) {
    ::CloseHandle(file);
    result.not_regular = true;
    return result;
  }
  result.file = LogFile(reinterpret_cast<std::intptr_t>(file), path);
  return result;
}

void LogFile::Close() {
  if (handle_ != kNoHandle) ::CloseHandle(AsHandle(std::exchange(handle_, kNoHandle)));
}

std::optional<std::uint64_t> LogFile::Size() const {
  LARGE_INTEGER size{};
  if (!valid() || !::GetFileSizeEx(AsHandle(handle_), &size)) return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

bool LogFile::Append(std::string_view bytes) {
  if (!valid()) return false;
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
    DWORD written = 0;
    if (!::WriteFile(AsHandle(handle_), bytes.data(), chunk, &written, nullptr) || written == 0) {
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

std::optional<std::string> LogFile::MoveTo(const std::filesystem::path& target) {
  if (!::MoveFileExW(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return Win32ErrorText(::GetLastError());
  }
  path_ = target;
  return std::nullopt;
}

}  // namespace orvik::platform

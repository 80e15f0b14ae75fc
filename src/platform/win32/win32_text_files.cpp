#include "platform/win32/win32_text_files.h"

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "platform/win32/unique_handle.h"
#include "platform/win32/win32_error_text.h"

namespace orvik::platform {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The path in UTF-8, for messages (path::string() would throw on a name the
// ANSI code page cannot hold).
std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

core::Status NotRegular(const std::filesystem::path& path) {
  return core::Status::Error(core::StatusCode::kIoError,
                             "'" + Utf8(path) + "' is not a regular file");
}

core::Status IoError(const std::filesystem::path& path, std::string_view action, DWORD error) {
  std::string message = "Cannot ";
  message += action;
  message += " '";
  message += Utf8(path);
  message += "': ";
  message += Win32ErrorText(error);
  return core::Status::Error(core::StatusCode::kIoError, std::move(message));
}

// A name with a NUL byte would be cut short by the system calls; the others
// that Windows refuses in a file name fail in CreateFileW on their own.
bool IsUsableName(std::string_view name) {
  return !name.empty() && name.find('\0') == std::string_view::npos;
}

// True when the open handle is a file on a disk, not a directory, a device or
// a pipe.
bool IsRegularFile(HANDLE file) {
  if (::GetFileType(file) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file, &info)) return false;
  return (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) return false;
    if (written == 0) {  // no progress: treat as a full disk rather than spin
      ::SetLastError(ERROR_DISK_FULL);
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

// What an existing `path` finally is after its links are followed.
struct Target {
  std::filesystem::path path;
  bool exists = false;
  bool regular = false;
};

// Follows `path` through symbolic links to the file they lead to (which need
// not exist yet). Returns 0 or the error that stopped it.
DWORD ResolveTarget(const std::filesystem::path& path, Target& target) {
  target = Target{path};
  // Backup semantics let directories open too, so that they can be refused.
  const UniqueHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.valid()) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? 0 : error;
  }
  target.exists = true;
  target.regular = IsRegularFile(file.get());
  if (!target.regular) return 0;
  std::vector<wchar_t> final_name(MAX_PATH);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const DWORD length = ::GetFinalPathNameByHandleW(
        file.get(), final_name.data(), static_cast<DWORD>(final_name.size()), FILE_NAME_NORMALIZED);
    if (length == 0) return 0;  // keep the name as given: it names the same file
    if (length < final_name.size()) {
      target.path = std::filesystem::path(std::wstring(final_name.data(), length));
      return 0;
    }
    final_name.resize(length + 1);
  }
  return 0;
}

// Removes the new file on every path that does not end in the replacement.
class TempFileGuard {
 public:
  explicit TempFileGuard(std::wstring path) : path_(std::move(path)) {}
  ~TempFileGuard() {
    if (!path_.empty()) ::DeleteFileW(path_.c_str());
  }
  TempFileGuard(const TempFileGuard&) = delete;
  TempFileGuard& operator=(const TempFileGuard&) = delete;
  void Dismiss() { path_.clear(); }

 private:
  std::wstring path_;
};

}  // namespace

Win32TextFiles::Win32TextFiles(std::filesystem::path directory)
    : directory_(std::move(directory)) {}

core::Result<std::optional<std::string>> Win32TextFiles::ReadAtMost(std::string_view name,
                                                                    std::size_t max_bytes) {
  const std::optional<std::string> nothing_to_read;
  if (!IsUsableName(name)) return nothing_to_read;
  const std::filesystem::path path = directory_ / name;
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return NotRegular(path);
  }
  const UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return nothing_to_read;
  // A device name opens the device (without blocking: the open is done and
  // nothing is read from it).
  if (!IsRegularFile(file.get())) return NotRegular(path);

  std::string content;
  std::vector<char> buffer(std::min<std::size_t>(max_bytes, 64 * 1024));
  while (content.size() < max_bytes) {
    const DWORD wanted = static_cast<DWORD>(std::min(buffer.size(), max_bytes - content.size()));
    DWORD got = 0;
    if (!::ReadFile(file.get(), buffer.data(), wanted, &got, nullptr)) {
      return IoError(path, "read", ::GetLastError());
    }
    if (got == 0) break;
    content.append(buffer.data(), got);
  }
  return std::optional<std::string>(std::move(content));
}

core::Status Win32TextFiles::ReplaceAtomically(std::string_view name, std::string_view content) {
  const std::filesystem::path named = directory_ / name;
  if (!IsUsableName(name)) return IoError(named, "save", ERROR_INVALID_NAME);
  Target target;
  if (const DWORD error = ResolveTarget(named, target); error != 0) {
    return IoError(named, "save", error);
  }
  if (target.exists && !target.regular) return NotRegular(target.path);

  // The new file is made in the target's own directory so that the final
  // replacement stays within one volume and is atomic.
  std::filesystem::path parent = target.path.parent_path();
  if (parent.empty()) parent = L".";
  std::vector<wchar_t> temp_name(MAX_PATH + 1);
  if (::GetTempFileNameW(parent.c_str(), L"orv", 0, temp_name.data()) == 0) {
    return IoError(target.path, "save", ::GetLastError());
  }
  const std::wstring temp_path(temp_name.data());
  TempFileGuard guard(temp_path);
  {
    const UniqueHandle file(::CreateFileW(temp_path.c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return IoError(target.path, "save", ::GetLastError());
    if (!WriteAll(file.get(), content) || !::FlushFileBuffers(file.get())) {
      return IoError(target.path, "write", ::GetLastError());
    }
  }
  // One rename over the old file (MoveFileExW with MOVEFILE_REPLACE_EXISTING
  // is a single rename on the volume, so a reader sees either file whole).
  // ReplaceFileW is not used: it is a sequence of renames with a moment
  // without the file, and wine's leaves a stray file behind when it fails.
  // The old file's attributes (hidden, archive, ...) are carried over.
  if (target.exists) {
    const DWORD attributes = ::GetFileAttributesW(target.path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
      ::SetFileAttributesW(temp_path.c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    }
  }
  if (!::MoveFileExW(temp_path.c_str(), target.path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return IoError(target.path, "replace", ::GetLastError());
  }
  guard.Dismiss();
  return core::Status::Ok();
}

}  // namespace orvik::platform

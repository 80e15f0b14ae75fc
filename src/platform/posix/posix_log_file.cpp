#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "platform/log_file.h"
#include "platform/posix/regular_file.h"

namespace orvik::platform {

LogFile::Opened LogFile::Open(const std::filesystem::path& path) {
  RegularFileOpen opened = OpenRegularFile(path, O_WRONLY | O_APPEND | O_CREAT, 0644);
  Opened result;
  result.not_regular = opened.not_regular;
  if (opened.fd.valid()) result.file = LogFile(opened.fd.release(), path);
  return result;
}

void LogFile::Close() {
  if (handle_ != kNoHandle) ::close(static_cast<int>(std::exchange(handle_, kNoHandle)));
}

std::optional<std::uint64_t> LogFile::Size() const {
  struct stat info {};
  if (!valid() || ::fstat(static_cast<int>(handle_), &info) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

bool LogFile::Append(std::string_view bytes) {
  if (!valid()) return false;
  while (!bytes.empty()) {
    const ssize_t written = ::write(static_cast<int>(handle_), bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::optional<std::string> LogFile::MoveTo(const std::filesystem::path& target) {
  // The descriptor follows the file through the rename.
  if (std::rename(path_.c_str(), target.c_str()) != 0) {
    return std::generic_category().message(errno);
  }
  path_ = target;
  return std::nullopt;
}

}  // namespace orvik::platform

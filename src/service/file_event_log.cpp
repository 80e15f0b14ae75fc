#include "service/file_event_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <utility>

#include "platform/unique_fd.h"

namespace orvik::service {
namespace {

using platform::UniqueFd;

constexpr mode_t kNewFileMode = 0644;

// Opens `path` for appending, creating it empty when it does not exist.
UniqueFd OpenForAppend(const std::filesystem::path& path) {
  int fd = -1;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kNewFileMode);
  } while (fd < 0 && errno == EINTR);
  return UniqueFd(fd);
}

// Writes all of `bytes`; false when a write fails or makes no progress.
bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// The line with its CR LF, so that it reaches the file in one write.
std::string WithLineEnd(std::string_view line) {
  std::string text;
  text.reserve(line.size() + 2);
  text.append(line);
  text.append("\r\n");
  return text;
}

}  // namespace

FileEventLog::FileEventLog(std::filesystem::path directory)
    : log_path_(directory / kLogFileName), backup_path_(std::move(directory) / kBackupFileName) {}

void FileEventLog::WriteLog(std::string_view line) {
  try {
    const std::string text = WithLineEnd(line);
    const std::lock_guard<std::mutex> lock(mutex_);

    UniqueFd log = OpenForAppend(log_path_);
    if (!log.valid()) return;  // the line is lost; the next one tries again

    struct stat info {};
    if (::fstat(log.get(), &info) == 0 &&
        static_cast<std::uint64_t>(info.st_size) >= kRotationSize) {
      // The descriptor follows the file through the rename, so the closing
      // line is written only once the file really is the backup: a log that
      // cannot be moved keeps growing instead of collecting closing lines.
      // The rename replaces any earlier backup in one step; should it fail,
      // both files stay as they were.
      if (std::rename(log_path_.c_str(), backup_path_.c_str()) == 0) {
        WriteAll(log.get(), WithLineEnd(kRotationLine));
        log = OpenForAppend(log_path_);
        if (!log.valid()) return;
      }
    }
    WriteAll(log.get(), text);
  } catch (...) {
    // Out of memory or a lock error: the line is lost, the caller carries on.
  }
}

}  // namespace orvik::service

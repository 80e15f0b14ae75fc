#include "service/file_event_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>
#include <utility>

#include "platform/regular_file.h"

namespace orvik::service {
namespace {

constexpr mode_t kNewFileMode = 0644;

// Opens the regular file `path` for appending, creating it empty when it
// does not exist.
platform::RegularFileOpen OpenForAppend(const std::filesystem::path& path) {
  return platform::OpenRegularFile(path, O_WRONLY | O_APPEND | O_CREAT, kNewFileMode);
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

FileEventLog::FileEventLog(std::filesystem::path directory, Notice tell_operator)
    : log_path_(directory / kLogFileName),
      backup_path_(std::move(directory) / kBackupFileName),
      tell_operator_(std::move(tell_operator)) {}

void FileEventLog::WriteLog(std::string_view line) {
  try {
    const std::string text = WithLineEnd(line);
    std::string notice;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      notice = AppendLocked(text);
    }
    if (!notice.empty() && tell_operator_) tell_operator_(notice);
  } catch (...) {
    // Out of memory or a lock error: the line is lost, the caller carries on.
  }
}

std::string FileEventLog::AppendLocked(std::string_view text) {
  platform::RegularFileOpen log = OpenForAppend(log_path_);
  if (log.not_regular) {
    if (std::exchange(told_not_regular_, true)) return {};
    return platform::NotRegularFileMessage(log_path_);
  }
  told_not_regular_ = false;
  if (!log.fd.valid()) return {};  // the line is lost; the next one tries again

  struct stat info {};
  if (::fstat(log.fd.get(), &info) == 0 &&
      static_cast<std::uint64_t>(info.st_size) >= kRotationSize) {
    // The descriptor follows the file through the rename, so the closing
    // line is written only once the file really is the backup: a log that
    // cannot be moved keeps growing instead of collecting closing lines.
    // The rename replaces any earlier backup in one step; should it fail,
    // both files stay as they were.
    if (std::rename(log_path_.c_str(), backup_path_.c_str()) == 0) {
      WriteAll(log.fd.get(), WithLineEnd(kRotationLine));
      log = OpenForAppend(log_path_);
      if (!log.fd.valid()) return {};
    } else if (static_cast<std::uint64_t>(info.st_size) >= kMaxLogSize) {
      // Without this bound a log that cannot be moved fills the disk.
      const int error = errno;
      if (std::exchange(told_full_, true)) return {};
      return "Cannot rotate '" + log_path_.string() + "' to '" + backup_path_.string() +
             "' (" + std::generic_category().message(error) + "): it has reached " +
             std::to_string(info.st_size) + " bytes and takes no more lines";
    }
  }
  told_full_ = false;
  WriteAll(log.fd.get(), text);
  return {};
}

}  // namespace orvik::service

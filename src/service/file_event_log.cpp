#include "service/file_event_log.h"

#include <string>
#include <utility>

#include "platform/file_messages.h"
#include "platform/log_file.h"

namespace orvik::service {
namespace {

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
  platform::LogFile::Opened opened = platform::LogFile::Open(log_path_);
  if (opened.not_regular) {
    if (std::exchange(told_not_regular_, true)) return {};
    return platform::NotRegularFileMessage(log_path_);
  }
  told_not_regular_ = false;
  platform::LogFile& log = opened.file;
  if (!log.valid()) return {};  // the line is lost; the next one tries again

  const std::uint64_t size = log.Size().value_or(0);
  if (size >= kRotationSize) {
    // The open file follows itself through the move, so the closing line
    // is written only once the file really is the backup: a log that
    // cannot be moved keeps growing instead of collecting closing lines.
    // The move replaces any earlier backup in one step; should it fail,
    // both files stay as they were.
    if (const std::optional<std::string> refused = log.MoveTo(backup_path_); !refused) {
      log.Append(WithLineEnd(kRotationLine));
      opened = platform::LogFile::Open(log_path_);
      if (!log.valid()) return {};
    } else if (size >= kMaxLogSize) {
      // Without this bound a log that cannot be moved fills the disk.
      if (std::exchange(told_full_, true)) return {};
      return "Cannot rotate '" + log_path_.string() + "' to '" + backup_path_.string() + "' (" +
             *refused + "): it has reached " + std::to_string(size) +
             " bytes and takes no more lines";
    }
  }
  told_full_ = false;
  log.Append(text);
  return {};
}

}  // namespace orvik::service

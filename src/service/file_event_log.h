// FileEventLog: the event log "GPS_log.txt" in one directory (the programs
// pass "."), with one earlier generation kept as "GPS_log.bak".
//
// Each line is appended with CR LF; the file is opened and closed for every
// line, so nothing stays open and every line is on disk once WriteLog
// returns. A log of 128,128 bytes or more is rotated before the line is
// written: it gets "New file is created" as its last line, becomes
// "GPS_log.bak" (replacing the old one), and the line starts a new, empty
// "GPS_log.txt". When the log cannot be renamed, it is not truncated: lines
// keep being appended to it, so nothing is lost, up to kMaxLogSize (ten
// times the rotation size); past that no line is written until a rotation
// works again.
//
// The log must be a regular file: a FIFO, a directory or a device under its
// name is never written (nor opened, so nothing can block on it). The
// operator is told once when that happens and once when the log stops at
// kMaxLogSize; each is told again only after it had cleared.
//
// Thread-safe: any thread may call WriteLog. Concurrent callers wait for each
// other (a blocking lock), so two lines written at once are both kept, whole
// and one after the other. Other failures are silent: the line is lost and
// the next call tries again. The writer does not look at whether logging is
// enabled; its callers do.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "service/event_log_writer.h"

namespace orvik::service {

class FileEventLog : public EventLogWriter {
 public:
  static constexpr std::string_view kLogFileName = "GPS_log.txt";
  static constexpr std::string_view kBackupFileName = "GPS_log.bak";
  static constexpr std::string_view kRotationLine = "New file is created";
  // A log whose size divided by 128 exceeds 1000 is rotated.
  static constexpr std::uint64_t kRotationSize = 1001 * 128;  // 128,128 bytes
  // A log that could not be rotated takes no more lines from this size on.
  static constexpr std::uint64_t kMaxLogSize = 10 * kRotationSize;

  // Shows one message to the operator. Called from the thread that writes
  // the line, outside the writer's lock; must not call WriteLog.
  using Notice = std::function<void(const std::string& message)>;

  // Files are resolved as `directory` / name; the directory is not created.
  explicit FileEventLog(std::filesystem::path directory, Notice tell_operator = {});

  // Appends `line` and CR LF to the log, rotating the log first when it has
  // reached kRotationSize. Blocks while another thread writes. Never throws.
  void WriteLog(std::string_view line) override;

 private:
  // Writes `text` (a line with its CR LF); returns a message for the
  // operator, or "". REQUIRES: mutex_ held.
  std::string AppendLocked(std::string_view text);

  const std::filesystem::path log_path_;
  const std::filesystem::path backup_path_;
  const Notice tell_operator_;
  std::mutex mutex_;               // one line at a time, in this process; guards:
  bool told_not_regular_ = false;  // the operator knows the log is no regular file
  bool told_full_ = false;         // the operator knows the log stopped at kMaxLogSize
};

}  // namespace orvik::service

// FileEventLog: the event log "GPS_log.txt" in one directory (the programs
// pass "."), with one earlier generation kept as "GPS_log.bak".
//
// Each line is appended with CR LF; the file is opened and closed for every
// line, so nothing stays open and every line is on disk once WriteLog
// returns. A log of 128,128 bytes or more is rotated before the line is
// written: it gets "New file is created" as its last line, becomes
// "GPS_log.bak" (replacing the old one), and the line starts a new, empty
// "GPS_log.txt". When the log cannot be renamed, it is not truncated: lines
// keep being appended to it, so nothing is lost.
//
// Thread-safe: any thread may call WriteLog. Concurrent callers wait for each
// other (a blocking lock), so two lines written at once are both kept, whole
// and one after the other. Failures are silent: the line is lost and the next
// call tries again. The writer does not look at whether logging is enabled;
// its callers do.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
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

  // Files are resolved as `directory` / name; the directory is not created.
  explicit FileEventLog(std::filesystem::path directory);

  // Appends `line` and CR LF to the log, rotating the log first when it has
  // reached kRotationSize. Blocks while another thread writes. Never throws.
  void WriteLog(std::string_view line) override;

 private:
  std::filesystem::path log_path_;
  std::filesystem::path backup_path_;
  std::mutex mutex_;  // one line at a time, in this process
};

}  // namespace orvik::service

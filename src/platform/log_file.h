// LogFile: an open event log, appended to line by line. Opening never
// blocks and never writes anything that is not a regular file (a FIFO, a
// directory or a device under the log's name is left alone). The file can
// be moved to another name while open, and stays open under the new name, so
// that a closing line lands in the file that was moved. Closed when
// destroyed. One thread at a time.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace orvik::platform {

class LogFile {
 public:
  struct Opened;

  // Opens `path` for appending, creating it empty when it does not exist.
  static Opened Open(const std::filesystem::path& path);

  LogFile() = default;
  ~LogFile();
  LogFile(LogFile&& other) noexcept;
  LogFile& operator=(LogFile&& other) noexcept;
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  bool valid() const { return handle_ != kNoHandle; }
  // The file's size in bytes; nullopt when it cannot be read.
  std::optional<std::uint64_t> Size() const;
  // Writes all of `bytes` at the end; false when a write fails.
  bool Append(std::string_view bytes);
  // Renames the file to `target`, replacing a file there in one step. Returns
  // nullopt when done, else the system's reason (both names then unchanged).
  std::optional<std::string> MoveTo(const std::filesystem::path& target);

 private:
  static constexpr std::intptr_t kNoHandle = -1;
  LogFile(std::intptr_t handle, std::filesystem::path path)
      : handle_(handle), path_(std::move(path)) {}
  void Close();

  std::intptr_t handle_ = kNoHandle;  // a descriptor, or a HANDLE on Windows
  std::filesystem::path path_;
};

struct LogFile::Opened {
  LogFile file;              // valid when a regular file was opened
  bool not_regular = false;  // the name exists but is no regular file
};

}  // namespace orvik::platform

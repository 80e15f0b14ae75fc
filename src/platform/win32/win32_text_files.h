// Win32TextFiles: TextFiles on the real files of one directory (the programs
// pass "."), for the Windows build. Any thread may call it; calls on the same
// file name from two threads at once are not coordinated.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/status.h"
#include "core/text_files.h"

namespace orvik::platform {

class Win32TextFiles : public core::TextFiles {
 public:
  // Files are resolved as `directory` / name.
  explicit Win32TextFiles(std::filesystem::path directory);

  // Returns the first `max_bytes` bytes of the regular file `name` (all of
  // it when shorter); nullopt when it cannot be opened; kIoError when it is a
  // directory or a device (such as "NUL" or "COM1", which Windows finds in
  // every directory) or a read fails.
  core::Result<std::optional<std::string>> ReadAtMost(std::string_view name,
                                                      std::size_t max_bytes) override;

  // Writes `content` to a new file beside the file `name` leads to (through
  // symbolic links), flushes it to disk and renames it over the old file
  // (MoveFileExW), keeping the old file's attributes. Refuses a target that
  // exists but is no regular file, or is held open by another program without
  // sharing. On failure the new file is removed, the old file is
  // untouched and the kIoError message names the file and the cause.
  core::Status ReplaceAtomically(std::string_view name, std::string_view content) override;

 private:
  std::filesystem::path directory_;
};

}  // namespace orvik::platform

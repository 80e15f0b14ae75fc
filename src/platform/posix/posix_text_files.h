// PosixTextFiles: TextFiles on the real files of one directory (the programs
// pass "."). Any thread may call it; calls on the same file name from two
// threads at once are not coordinated.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/status.h"
#include "core/text_files.h"

namespace orvik::platform {

class PosixTextFiles : public core::TextFiles {
 public:
  // Files are resolved as `directory` / name.
  explicit PosixTextFiles(std::filesystem::path directory);

  // Returns the first `max_bytes` bytes of the regular file `name` (all of
  // it when shorter); nullopt when it cannot be opened; kIoError when it is
  // no regular file (refused without blocking, see platform/regular_file.h)
  // or a read fails.
  core::Result<std::optional<std::string>> ReadAtMost(std::string_view name,
                                                      std::size_t max_bytes) override;

  // Follows `name` through symbolic links to the file they lead to, writes
  // `content` to a temporary file beside that file, flushes it to disk and
  // renames it over that file, so the links stay. The new file keeps the old
  // one's permissions and, where allowed, its owner. Refuses a target that
  // exists but is no regular file. On failure the temporary file is removed,
  // the old file is untouched and the kIoError message names the file and
  // the cause.
  core::Status ReplaceAtomically(std::string_view name, std::string_view content) override;

 private:
  std::filesystem::path directory_;
};

}  // namespace orvik::platform

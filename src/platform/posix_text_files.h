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

  // Returns the whole content of the regular file `name`; nullopt when it is
  // missing, unreadable, not a regular file, or a read fails.
  std::optional<std::string> ReadAll(std::string_view name) override;

  // Writes `content` to a temporary file beside `name`, flushes it to disk and
  // renames it over `name`. On failure the temporary file is removed, the old
  // file is untouched and the kIoError message names the file and the cause.
  core::Status ReplaceAtomically(std::string_view name, std::string_view content) override;

 private:
  std::filesystem::path directory_;
};

}  // namespace orvik::platform

// TextFiles: the little file access that the rules of the system need,
// behind an interface so that core stays free of I/O. The platform layer
// implements it on real files in one directory; tests use an in-memory map.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/status.h"

namespace orvik::core {

class TextFiles {
 public:
  virtual ~TextFiles() = default;

  // Returns the first `max_bytes` bytes of the file `name`, or all of it
  // when it is shorter: a file of any size costs at most `max_bytes` of
  // memory. Nullopt when there is no file to read (missing, no access: it
  // cannot be opened); a kIoError when the name is something other than a
  // regular file ("'<path>' is not a regular file") or a read fails after
  // the open (the system's reason). Never blocks on a FIFO or a device.
  virtual Result<std::optional<std::string>> ReadAtMost(std::string_view name,
                                                        std::size_t max_bytes) = 0;

  // Replaces the file `name` by `content` so that a reader sees either the
  // old file whole or the new one whole. A symbolic link stays: the file it
  // leads to is replaced. On failure the old file is intact and the error
  // says why.
  virtual Status ReplaceAtomically(std::string_view name, std::string_view content) = 0;
};

}  // namespace orvik::core

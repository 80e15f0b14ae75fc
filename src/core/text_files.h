// TextFiles: the little file access that the rules of the system need,
// behind an interface so that core stays free of I/O. The platform layer
// implements it on real files in one directory; tests use an in-memory map.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/status.h"

namespace orvik::core {

class TextFiles {
 public:
  virtual ~TextFiles() = default;

  // Returns the whole content of the file `name`, or nullopt when it cannot be
  // opened (missing, no access, not a regular file).
  virtual std::optional<std::string> ReadAll(std::string_view name) = 0;

  // Replaces the file `name` by `content` so that a reader sees either the
  // old file whole or the new one whole. On failure the old file is intact
  // and the error says why.
  virtual Status ReplaceAtomically(std::string_view name, std::string_view content) = 0;
};

}  // namespace orvik::core

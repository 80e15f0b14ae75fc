// Opening a file that must be a regular file, without ever blocking. A FIFO
// under a file's name would hang open() until a peer appears, and a device
// could do anything on open or read, so the name is checked before the open
// and the descriptor after it. Any thread.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

#include "platform/file_messages.h"
#include "platform/posix/unique_fd.h"

namespace orvik::platform {

struct RegularFileOpen {
  UniqueFd fd;               // valid when a regular file was opened
  bool not_regular = false;  // the name exists but is no regular file
  int error = 0;             // errno of a failed open or check otherwise
};

// Opens `path` with the open(2) `flags` (O_CLOEXEC, O_NOCTTY and, for the
// open itself, O_NONBLOCK are added). With O_CREAT a missing file is created
// with `mode`. Symbolic links are followed. The descriptor is kept only when
// it refers to a regular file, and then blocks as usual.
RegularFileOpen OpenRegularFile(const std::filesystem::path& path, int flags, mode_t mode = 0644);

}  // namespace orvik::platform

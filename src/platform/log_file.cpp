// What LogFile does the same on every platform: its ownership of the open
// file. Opening, writing, sizing, moving and closing are the platform's
// (platform/posix/, platform/win32/).
#include "platform/log_file.h"

namespace orvik::platform {

LogFile::~LogFile() { Close(); }

LogFile::LogFile(LogFile&& other) noexcept
    : handle_(std::exchange(other.handle_, kNoHandle)), path_(std::move(other.path_)) {}

LogFile& LogFile::operator=(LogFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kNoHandle);
    path_ = std::move(other.path_);
  }
  return *this;
}

}  // namespace orvik::platform

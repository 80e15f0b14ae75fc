// UniqueFd: sole owner of one POSIX file descriptor; closes it on destruction.
// Move-only. A single object must not be used by two threads at once.
#pragma once

#include <unistd.h>

#include <utility>

namespace orvik::platform {

class UniqueFd {
 public:
  UniqueFd() = default;
  // Takes ownership of `fd` (-1 for none).
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { reset(); }

  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  // Returns the descriptor, or -1 when none is owned.
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Gives up ownership without closing; returns the descriptor.
  int release() { return std::exchange(fd_, -1); }
  // Closes the owned descriptor (if any) and takes ownership of `fd`.
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

}  // namespace orvik::platform

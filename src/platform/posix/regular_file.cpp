#include "platform/posix/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <utility>

namespace orvik::platform {

RegularFileOpen OpenRegularFile(const std::filesystem::path& path, int flags, mode_t mode) {
  RegularFileOpen result;
  // Refused before opening, so that no FIFO or device sees an open at all.
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
    result.not_regular = true;
    return result;
  }
  // O_NONBLOCK still guards the open against a name swapped in meanwhile.
  int fd = -1;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, mode);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    result.error = errno;
    return result;
  }
  UniqueFd opened(fd);
  if (::fstat(opened.get(), &info) != 0) {
    result.error = errno;
    return result;
  }
  if (!S_ISREG(info.st_mode)) {
    result.not_regular = true;
    return result;
  }
  // A regular file never blocks anyway; clearing the flag keeps later reads
  // and writes plain.
  if (const int status_flags = ::fcntl(opened.get(), F_GETFL); status_flags >= 0) {
    ::fcntl(opened.get(), F_SETFL, status_flags & ~O_NONBLOCK);
  }
  result.fd = std::move(opened);
  return result;
}

}  // namespace orvik::platform

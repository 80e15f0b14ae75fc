#include "platform/posix/posix_standard_descriptors.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace orvik::platform {

void OpenMissingStandardDescriptors() {
  for (int wanted = STDIN_FILENO; wanted <= STDERR_FILENO; ++wanted) {
    if (::fcntl(wanted, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free descriptor is `wanted` itself, since those below it
    // are open by now; dup2 covers any other outcome.
    const int opened = ::open("/dev/null", O_RDWR);
    if (opened < 0) return;  // nothing better to offer
    if (opened != wanted) {
      ::dup2(opened, wanted);
      ::close(opened);
    }
  }
}

}  // namespace orvik::platform

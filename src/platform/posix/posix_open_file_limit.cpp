#include <sys/resource.h>

#include <cstdint>
#include <limits>

#include "platform/posix/open_file_limit.h"

namespace orvik::platform {

std::uint64_t RaiseOpenFileLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  if (limit.rlim_cur != limit.rlim_max) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max;
    // Refused (a hard limit above what the kernel allows): the old limit stays.
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  if (limit.rlim_cur == RLIM_INFINITY) return std::numeric_limits<std::uint64_t>::max();
  return static_cast<std::uint64_t>(limit.rlim_cur);
}

}  // namespace orvik::platform

// What /proc tells about a child process of a test: whether it can set the
// clock, what it has mapped and open, what it has written, whom it serves.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>

namespace orvik::testing {

// Waits up to `limit` until `pid` runs `program` (the exec is done; a
// process that has already ended counts when it ended as `program`), then
// succeeds only when CAP_SYS_TIME is absent from its bounding, permitted and
// effective sets in /proc/<pid>/status. REQUIRES: `pid` is not reaped yet.
::testing::AssertionResult CannotSetClock(pid_t pid, const std::filesystem::path& program,
                                          std::chrono::milliseconds limit);

// Returns true when `library` is mapped into the process `pid`.
bool MapsLibrary(pid_t pid, const std::filesystem::path& library);
// Returns true when some descriptor of `pid` refers to `device`.
bool HasOpen(pid_t pid, const std::filesystem::path& device);
// Bytes the process `pid` has passed to write calls so far (-1: unknown).
std::int64_t BytesWritten(pid_t pid);
// Established TCP connections that `pid` holds on its local `port`.
int ServedConnections(pid_t pid, std::uint16_t port);

}  // namespace orvik::testing

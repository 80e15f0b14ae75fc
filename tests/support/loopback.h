// TCP on this machine for tests: the real programs' port, and whether it is
// free or served.
#pragma once

#include <cstdint>

#include "platform/posix/unique_fd.h"

namespace orvik::testing {

// The TCP port the real programs always serve on.
inline constexpr std::uint16_t kServerPort = 1609;

// Returns true when a TCP connection to 127.0.0.1:`port` is accepted.
bool CanConnect(std::uint16_t port);
// Returns true when nothing listens on `port` on any address (a bind works).
bool PortIsFree(std::uint16_t port);
// A listener on 0.0.0.0:`port`; invalid when the bind fails.
platform::UniqueFd ListenOnAllAddresses(std::uint16_t port);

}  // namespace orvik::testing

// The process's limit of open descriptors. A time server holds one descriptor
// per LAN client, and the usual default soft limit (1024) is far below what
// the system allows (the hard limit), so the programs raise it once at start.
// Call it from main() before any other thread exists.
#pragma once

#include <cstdint>

namespace orvik::platform {

// Raises the soft limit of open descriptors to the hard limit. Returns the
// soft limit in force afterwards (UINT64_MAX for no limit); when the limit
// cannot be read, returns 0 and changes nothing.
std::uint64_t RaiseOpenFileLimit();

}  // namespace orvik::platform

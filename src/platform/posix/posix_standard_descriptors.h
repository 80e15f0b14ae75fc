// OpenMissingStandardDescriptors: makes sure descriptors 0, 1 and 2 are open
// before the program opens anything of its own.
//
// A server started with them closed (by a careless service manager or a
// shell's "2>&-") would otherwise get its listening socket, a client's
// connection or its signal descriptor as "stderr": status lines would then
// go to a LAN client or make a write fail with SIGPIPE. Closed ones are
// opened on /dev/null. Call first in main(), before any thread exists.
#pragma once

namespace orvik::platform {

void OpenMissingStandardDescriptors();

}  // namespace orvik::platform

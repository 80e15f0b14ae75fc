// Raises a capability from the permitted to the effective set of the calling
// thread with libcap. Capabilities are per thread: threads started
// afterwards inherit the effective set, so this runs before they are
// created.
#pragma once

namespace orvik::platform {

// `capability` is a CAP_* value of <sys/capability.h>. Returns whether it is
// effective now; false, changing nothing, when it is not permitted.
bool RaisePermittedCapability(int capability);

}  // namespace orvik::platform

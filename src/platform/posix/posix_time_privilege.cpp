#include "platform/posix/posix_time_privilege.h"

#include <sys/capability.h>

#include "platform/posix/posix_capability.h"

namespace orvik::platform {

bool PosixTimePrivilege::EnableTimePrivileges() { return RaisePermittedCapability(CAP_SYS_TIME); }

}  // namespace orvik::platform

// Win32TimePrivilege: enables SeSystemtimePrivilege in the process token
// (AdjustTokenPrivileges). The privilege must have been granted to the
// account ("Change the system time" in the local security policy, held by
// administrators); this only switches it on. A token's privileges belong to
// the whole process, so every thread may set the clock afterwards.
#pragma once

#include "platform/time_privilege.h"

namespace orvik::platform {

class Win32TimePrivilege : public TimePrivilege {
 public:
  bool EnableTimePrivileges() override;
};

}  // namespace orvik::platform

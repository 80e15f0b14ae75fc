// PosixTimePrivilege: raises CAP_SYS_TIME from the permitted to the
// effective capability set with libcap. The program is installed with
// `setcap cap_sys_time+p` (or run as root); capabilities are per thread, so
// this runs before the acquisition thread is created, which inherits them.
#pragma once

#include "platform/time_privilege.h"

namespace orvik::platform {

class PosixTimePrivilege : public TimePrivilege {
 public:
  bool EnableTimePrivileges() override;
};

}  // namespace orvik::platform

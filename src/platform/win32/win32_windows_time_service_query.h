// Win32WindowsTimeServiceQuery: the Windows Time service's state from the
// service manager and its configuration from the registry
// (HKLM\SYSTEM\CurrentControlSet\Services\W32Time\Parameters). Reading both
// needs no administrator rights. Main thread.
#pragma once

#include "platform/windows_time_service_query.h"

namespace orvik::platform {

class Win32WindowsTimeServiceQuery : public WindowsTimeServiceQuery {
 public:
  core::WindowsTimeServiceFacts Read() const override;
};

}  // namespace orvik::platform

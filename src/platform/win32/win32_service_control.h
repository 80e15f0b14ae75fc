// Win32ServiceControl: ServiceControl on the Windows service manager
// (OpenSCManager, QueryServiceStatus, ControlService, StartService). Asks
// only for the rights each call needs: any user may ask the state; a
// restart needs the right to stop and start the service.
#pragma once

#include <string>

#include "platform/service_control.h"

namespace orvik::platform {

// The service that keeps the clock with nobody logged on.
inline constexpr wchar_t kTimeServiceName[] = L"OrvikGpsTime";

class Win32ServiceControl : public ServiceControl {
 public:
  explicit Win32ServiceControl(std::wstring name = kTimeServiceName) : name_(std::move(name)) {}

  TimeServiceState State() override;
  core::Status Restart() override;

 private:
  const std::wstring name_;
};

}  // namespace orvik::platform

// ServiceManagerLink: what a program run as a system service tells the
// system's service manager, and how the manager's stop reaches it. On
// Windows the service control manager (SetServiceStatus and the control
// handler); tests use a recording fake.
#pragma once

#include "platform/termination_requests.h"

namespace orvik::platform {

// The states the manager is told, in the order a run goes through them.
enum class ServiceState { kStartPending, kRunning, kStopPending, kStopped };

// The stop and shut-down requests arrive as termination requests (Listen);
// their handler runs in the manager's thread.
class ServiceManagerLink : public TerminationRequests {
 public:
  // Tells the manager the service's state; kStopped with `exit_code` 0 for
  // an orderly end, else the code of the failure. Any thread.
  virtual void Report(ServiceState state, int exit_code = 0) = 0;
};

}  // namespace orvik::platform

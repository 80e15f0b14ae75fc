// TimePrivilege: gains the right to set the system clock.
#pragma once

namespace orvik::platform {

class TimePrivilege {
 public:
  virtual ~TimePrivilege() = default;

  // Asks for the right to set the clock for this thread and the threads it
  // starts later. Returns whether the right is held now; failure is silent
  // otherwise (setting the clock then fails on its own).
  virtual bool EnableTimePrivileges() = 0;
};

}  // namespace orvik::platform

// FakeTimePrivilege: a TimePrivilege for tests. It grants every request and
// counts them. Thread-safe (atomics).
#pragma once

#include <atomic>

#include "platform/time_privilege.h"

namespace orvik::testing {

class FakeTimePrivilege : public platform::TimePrivilege {
 public:
  // Requests so far.
  int Requests() const { return requests_.load(); }

  bool EnableTimePrivileges() override {
    ++requests_;
    return true;
  }

 private:
  std::atomic<int> requests_{0};
};

}  // namespace orvik::testing

// FakeTimePrivilege: a TimePrivilege for tests. It grants or refuses as told
// and counts the requests. Thread-safe (atomics).
#pragma once

#include <atomic>

#include "platform/time_privilege.h"

namespace orvik::testing {

class FakeTimePrivilege : public platform::TimePrivilege {
 public:
  // Whether later requests succeed (default: yes).
  void Grant(bool granted) { granted_ = granted; }
  // Requests so far.
  int Requests() const { return requests_.load(); }

  bool EnableTimePrivileges() override {
    ++requests_;
    return granted_.load();
  }

 private:
  std::atomic<bool> granted_{true};
  std::atomic<int> requests_{0};
};

}  // namespace orvik::testing

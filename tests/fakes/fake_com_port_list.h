// FakeComPortList: the ports a test says exist. Any thread, as the list it
// stands in for.
#pragma once

#include <mutex>
#include <utility>
#include <vector>

#include "platform/com_port_list.h"

namespace orvik::testing {

class FakeComPortList : public platform::ComPortList {
 public:
  void Set(std::vector<platform::ComPortEntry> ports) {
    std::lock_guard lock(mutex_);
    ports_ = std::move(ports);
  }
  std::vector<platform::ComPortEntry> ExistingPorts() const override {
    std::lock_guard lock(mutex_);
    return ports_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<platform::ComPortEntry> ports_;  // guarded by mutex_
};

}  // namespace orvik::testing

// FakeThreadPriority: a ThreadPriority for tests. Each level is granted or
// refused as set (both refused at first), and only once the rights have been
// switched on, as a capability must be before the thread starts. It keeps
// the levels asked for, in order, with the threads that asked. Thread-safe.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/thread_priority.h"

namespace orvik::testing {

class FakeThreadPriority : public platform::ThreadPriority {
 public:
  static constexpr const char* kRealTime = "real-time";
  static constexpr const char* kRaised = "raised";

  // Which levels the process may reach from now on.
  void Allow(bool real_time, bool raised) {
    const std::lock_guard lock(mutex_);
    real_time_allowed_ = real_time;
    raised_allowed_ = raised;
  }

  struct Request {
    std::string level;  // kRealTime or kRaised
    std::thread::id thread;
  };
  std::vector<Request> Requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
  }

  void EnablePriorityRights() override {
    const std::lock_guard lock(mutex_);
    rights_enabled_ = true;
  }
  // A granted level is named "<level> priority (fake)".
  std::optional<std::string> RaiseToRealTime() override {
    return Ask(kRealTime, real_time_allowed_);
  }
  std::optional<std::string> RaiseWithinNormal() override { return Ask(kRaised, raised_allowed_); }

 private:
  std::optional<std::string> Ask(const char* level, const bool& allowed) {
    const std::lock_guard lock(mutex_);
    requests_.push_back({level, std::this_thread::get_id()});
    if (!rights_enabled_ || !allowed) return std::nullopt;
    return std::string(level) + " priority (fake)";
  }

  mutable std::mutex mutex_;
  // Guarded by mutex_.
  bool real_time_allowed_ = false;
  bool raised_allowed_ = false;
  bool rights_enabled_ = false;
  std::vector<Request> requests_;
};

}  // namespace orvik::testing

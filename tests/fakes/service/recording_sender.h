// RecordingSender: a TimeMessageSender that keeps every record it is given.
// Thread-safe: the main thread (or the loop through a direct bridge)
// records, the test reads.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "service/time_message_sender.h"

namespace orvik::testing {

class RecordingSender : public service::TimeMessageSender {
 public:
  void Retransmit_to_LAN(const core::TimeMessage& message) override {
    std::lock_guard lock(mutex_);
    records_.push_back(message);
    recorded_.notify_all();
  }
  std::vector<core::TimeMessage> Records() const {
    std::lock_guard lock(mutex_);
    return records_;
  }
  bool WaitForRecords(std::size_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return recorded_.wait_for(lock, timeout, [&] { return records_.size() >= count; });
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable recorded_;
  std::vector<core::TimeMessage> records_;  // guarded by mutex_
};

}  // namespace orvik::testing

// FakeRefclockSocket: a RefclockSocket for tests. It records every datagram
// it is given and answers with the status it was told to (ok by default);
// refused datagrams are recorded too. Thread-safe.
#pragma once

#include <cstdint>
#include <mutex>
#include <span>
#include <utility>
#include <vector>

#include "core/status.h"
#include "platform/refclock_socket.h"

namespace orvik::testing {

class FakeRefclockSocket : public platform::RefclockSocket {
 public:
  // Later sends answer `status`.
  void AnswerWith(core::Status status) {
    std::lock_guard lock(mutex_);
    answer_ = std::move(status);
  }
  // Every datagram so far, in order.
  std::vector<std::vector<std::uint8_t>> Sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
  }

  core::Status Send(std::span<const std::uint8_t> bytes) override {
    std::lock_guard lock(mutex_);
    sent_.emplace_back(bytes.begin(), bytes.end());
    return answer_;
  }

 private:
  mutable std::mutex mutex_;
  core::Status answer_;                          // guarded by mutex_
  std::vector<std::vector<std::uint8_t>> sent_;  // guarded by mutex_
};

}  // namespace orvik::testing

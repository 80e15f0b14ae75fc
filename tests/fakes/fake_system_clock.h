// FakeSystemClock: a SystemClock for tests. Its "now" stands still until a
// test sets or advances it; every SetLocalTime call is recorded in order.
// A successful SetLocalTime moves "now" to the time set, as the real clock
// would. Thread-safe: the code under test and the test may call it from
// different threads.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "core/date_time.h"
#include "core/status.h"
#include "platform/system_clock.h"

namespace orvik::testing {

class FakeSystemClock : public platform::SystemClock {
 public:
  // Starts at 2026-01-01 00:00:00.000.
  FakeSystemClock();
  explicit FakeSystemClock(const core::DateTime& now);

  // Makes Now() return `now` (day_of_week recomputed when the date is valid).
  void SetNow(const core::DateTime& now);
  // Moves "now" by `milliseconds` (may be negative). REQUIRES: a valid "now".
  void Advance(std::int64_t milliseconds);
  // While set, SetLocalTime fails with kIoError (as without the privilege),
  // is still recorded, and leaves "now" unchanged.
  void FailSetLocalTime(bool fail);

  // Every SetLocalTime argument so far, refused ones included, in call order.
  std::vector<core::DateTime> SetCalls() const;

  core::DateTime Now() const override;
  // Records `local`; refuses an invalid date-time with kInvalidArgument like
  // the real clock; otherwise moves "now" to it unless failing is switched on.
  core::Status SetLocalTime(const core::DateTime& local) override;

 private:
  mutable std::mutex mutex_;
  core::DateTime now_;
  bool fail_set_ = false;
  std::vector<core::DateTime> set_calls_;
};

}  // namespace orvik::testing

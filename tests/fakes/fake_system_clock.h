// FakeSystemClock: the machine's two clocks for tests, the real time (a
// SystemClock) and the monotonic time (a MonotonicClock). Both stand still
// until a test moves them, so timing rules are tested without sleeping. Every
// SetUtc call is recorded in order, and a successful one moves "now" as the
// real clock would. Thread-safe.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "core/date_time.h"
#include "core/status.h"
#include "platform/monotonic_clock.h"
#include "platform/system_clock.h"

namespace orvik::testing {

class FakeSystemClock : public platform::SystemClock, public platform::MonotonicClock {
 public:
  // The monotonic time the fake starts at.
  static constexpr core::MonotonicNanos kMonotonicStart = 1'000 * core::kNanosPerSecond;

  // Starts at 2026-01-01 00:00:00.000 UTC, in a machine zone of UTC.
  FakeSystemClock();
  explicit FakeSystemClock(const core::DateTime& utc);

  // Makes NowUtc() return `utc`. REQUIRES: a real date and time.
  void SetNow(const core::DateTime& utc);
  // Moves both clocks by `milliseconds` (the monotonic one only forward).
  void Advance(std::int64_t milliseconds);
  // Moves both clocks by `nanoseconds` (the monotonic one only forward).
  void AdvanceNanos(std::int64_t nanoseconds);
  // While set, SetUtc fails with kIoError "no time privilege", is still
  // recorded, and leaves "now" unchanged.
  void FailSetting(bool fail);
  void SetMachineZoneOffsetMinutes(std::int64_t minutes);

  // Every SetUtc argument so far, refused ones included, in call order.
  std::vector<core::UtcNanos> SetCalls() const;
  // The same, each with the monotonic time of the call.
  struct SetCall {
    core::UtcNanos instant;
    core::MonotonicNanos at;
  };
  std::vector<SetCall> SetCallsWithTimes() const;

  core::UtcNanos NowUtc() const override;
  core::MonotonicNanos NowMonotonic() const override;
  core::Status SetUtc(core::UtcNanos instant) override;
  std::int64_t MachineZoneOffsetMinutes(core::UtcNanos at) const override;

 private:
  mutable std::mutex mutex_;
  core::UtcNanos now_;
  core::MonotonicNanos monotonic_ = kMonotonicStart;
  std::int64_t zone_offset_minutes_ = 0;
  bool fail_set_ = false;
  std::vector<SetCall> set_calls_;
};

}  // namespace orvik::testing

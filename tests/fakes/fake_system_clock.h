// FakeSystemClock: a SystemClock for tests. Its UTC "now" stands still until
// a test sets or advances it; every SetUtc call is recorded in order, and a
// successful one moves "now" as the real clock would. The monotonic clock is
// the real one (the fake serial link stamps arrivals with it) plus what
// Advance() added. Thread-safe.
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
  // Starts at 2026-01-01 00:00:00.000 UTC, in a machine zone of UTC.
  FakeSystemClock();
  explicit FakeSystemClock(const core::DateTime& utc);

  // Makes NowUtc() return `utc`. REQUIRES: a real date and time.
  void SetNow(const core::DateTime& utc);
  // Moves both clocks by `milliseconds` (the monotonic one only forward).
  void Advance(std::int64_t milliseconds);
  // While set, SetUtc fails with kIoError "no time privilege", is still
  // recorded, and leaves "now" unchanged.
  void FailSetting(bool fail);
  void SetMachineZoneOffsetMinutes(std::int64_t minutes);

  // Every SetUtc argument so far, refused ones included, in call order.
  std::vector<core::UtcNanos> SetCalls() const;

  core::UtcNanos NowUtc() const override;
  core::MonotonicNanos NowMonotonic() const override;
  core::Status SetUtc(core::UtcNanos instant) override;
  std::int64_t MachineZoneOffsetMinutes(core::UtcNanos at) const override;

 private:
  mutable std::mutex mutex_;
  core::UtcNanos now_;
  std::int64_t monotonic_advance_ = 0;
  std::int64_t zone_offset_minutes_ = 0;
  bool fail_set_ = false;
  std::vector<core::UtcNanos> set_calls_;
};

}  // namespace orvik::testing

#include "fakes/fake_system_clock.h"

namespace orvik::testing {

FakeSystemClock::FakeSystemClock()
    : FakeSystemClock(core::DateTime{.year = 2026, .month = 1, .day = 1}) {}

FakeSystemClock::FakeSystemClock(const core::DateTime& utc) : now_(core::UtcNanosOf(utc).value()) {}

void FakeSystemClock::SetNow(const core::DateTime& utc) {
  std::lock_guard<std::mutex> lock(mutex_);
  now_ = core::UtcNanosOf(utc).value();
}

void FakeSystemClock::Advance(std::int64_t milliseconds) {
  AdvanceNanos(milliseconds * core::kNanosPerMilli);
}

void FakeSystemClock::AdvanceNanos(std::int64_t nanoseconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  now_ += nanoseconds;
  if (nanoseconds > 0) monotonic_ += nanoseconds;
}

void FakeSystemClock::FailSetting(bool fail) {
  std::lock_guard<std::mutex> lock(mutex_);
  fail_set_ = fail;
}

void FakeSystemClock::SetMachineZoneOffsetMinutes(std::int64_t minutes) {
  std::lock_guard<std::mutex> lock(mutex_);
  zone_offset_minutes_ = minutes;
}

std::vector<core::UtcNanos> FakeSystemClock::SetCalls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<core::UtcNanos> instants;
  for (const SetCall& call : set_calls_) instants.push_back(call.instant);
  return instants;
}

std::vector<FakeSystemClock::SetCall> FakeSystemClock::SetCallsWithTimes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return set_calls_;
}

core::UtcNanos FakeSystemClock::NowUtc() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return now_;
}

core::MonotonicNanos FakeSystemClock::NowMonotonic() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return monotonic_;
}

core::Status FakeSystemClock::SetUtc(core::UtcNanos instant) {
  std::lock_guard<std::mutex> lock(mutex_);
  set_calls_.push_back({instant, monotonic_});
  if (fail_set_) return core::Status::Error(core::StatusCode::kIoError, "no time privilege");
  now_ = instant;
  return core::Status::Ok();
}

std::int64_t FakeSystemClock::MachineZoneOffsetMinutes(core::UtcNanos /*at*/) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return zone_offset_minutes_;
}

}  // namespace orvik::testing

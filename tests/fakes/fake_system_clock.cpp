#include "fakes/fake_system_clock.h"

#include "core/calendar.h"
#include "core/local_time.h"

namespace orvik::testing {
namespace {

bool IsRealDateTime(const core::DateTime& t) {
  return core::IsValidDate(t.year, t.month, t.day) &&
         core::IsValidTimeOfDay(t.hour, t.minute, t.second, t.millisecond);
}

core::DateTime WithWeekday(core::DateTime t) {
  if (core::IsValidDate(t.year, t.month, t.day)) {
    t.day_of_week = static_cast<std::uint16_t>(core::DayOfWeek(t.year, t.month, t.day));
  }
  return t;
}

core::DateTime NewYear2026() {
  core::DateTime t;
  t.year = 2026;
  t.month = 1;
  t.day = 1;
  return WithWeekday(t);
}

}  // namespace

FakeSystemClock::FakeSystemClock() : now_(NewYear2026()) {}

FakeSystemClock::FakeSystemClock(const core::DateTime& now) : now_(WithWeekday(now)) {}

void FakeSystemClock::SetNow(const core::DateTime& now) {
  std::lock_guard<std::mutex> lock(mutex_);
  now_ = WithWeekday(now);
}

void FakeSystemClock::Advance(std::int64_t milliseconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  now_ = core::AddMilliseconds(now_, milliseconds);
}

void FakeSystemClock::FailSetLocalTime(bool fail) {
  std::lock_guard<std::mutex> lock(mutex_);
  fail_set_ = fail;
}

std::vector<core::DateTime> FakeSystemClock::SetCalls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return set_calls_;
}

core::DateTime FakeSystemClock::Now() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return now_;
}

core::Status FakeSystemClock::SetLocalTime(const core::DateTime& local) {
  std::lock_guard<std::mutex> lock(mutex_);
  set_calls_.push_back(local);
  if (!IsRealDateTime(local)) {
    return core::Status::Error(core::StatusCode::kInvalidArgument,
                               "Not a valid local date and time");
  }
  if (fail_set_) {
    return core::Status::Error(core::StatusCode::kIoError,
                               "Setting the clock failed: no time privilege");
  }
  now_ = WithWeekday(local);
  return core::Status::Ok();
}

}  // namespace orvik::testing

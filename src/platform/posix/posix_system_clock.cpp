#include "platform/posix/posix_system_clock.h"

#include <time.h>

#include <cerrno>
#include <string>

namespace orvik::platform {
namespace {

std::int64_t Nanos(const timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * core::kNanosPerSecond + t.tv_nsec;
}

}  // namespace

core::UtcNanos PosixSystemClock::NowUtc() const {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return Nanos(now);
}

core::Status PosixSystemClock::SetUtc(core::UtcNanos instant) {
  // Floor division, so instants before 1970 keep a non-negative tv_nsec.
  std::int64_t seconds = instant / core::kNanosPerSecond;
  std::int64_t nanos = instant % core::kNanosPerSecond;
  if (nanos < 0) {
    nanos += core::kNanosPerSecond;
    --seconds;
  }
  timespec target{};
  target.tv_sec = static_cast<time_t>(seconds);
  target.tv_nsec = static_cast<long>(nanos);
  if (::clock_settime(CLOCK_REALTIME, &target) != 0) {
    // errno is thread-local; its text is built here without the
    // non-reentrant strerror.
    const int error = errno;
    return core::Status::Error(core::StatusCode::kIoError, error == EPERM
                                                               ? std::string("no time privilege")
                                                               : "error " + std::to_string(error));
  }
  return core::Status::Ok();
}

std::int64_t PosixSystemClock::MachineZoneOffsetMinutes(core::UtcNanos at) const {
  const time_t seconds = static_cast<time_t>(at / core::kNanosPerSecond);
  tm local{};
  if (::localtime_r(&seconds, &local) == nullptr) return 0;
  return local.tm_gmtoff / 60;
}

}  // namespace orvik::platform

#include "platform/posix_system_clock.h"

#include <time.h>

#include <cstdint>

namespace orvik::platform {

core::DateTime PosixSystemClock::Now() const {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  ::localtime_r(&now.tv_sec, &local);
  core::DateTime result;
  result.year = static_cast<std::uint16_t>(local.tm_year + 1900);
  result.month = static_cast<std::uint16_t>(local.tm_mon + 1);
  result.day_of_week = static_cast<std::uint16_t>(local.tm_wday);  // 0 = Sunday on both sides
  result.day = static_cast<std::uint16_t>(local.tm_mday);
  result.hour = static_cast<std::uint16_t>(local.tm_hour);
  result.minute = static_cast<std::uint16_t>(local.tm_min);
  // A leap second (tm_sec 60) is shown as the last second of the minute.
  result.second = static_cast<std::uint16_t>(local.tm_sec > 59 ? 59 : local.tm_sec);
  result.millisecond = static_cast<std::uint16_t>(now.tv_nsec / 1'000'000);
  return result;
}

}  // namespace orvik::platform

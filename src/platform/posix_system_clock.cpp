#include "platform/posix_system_clock.h"

#include <time.h>

#include <cerrno>
#include <cstdint>
#include <string>

#include "core/calendar.h"

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

std::optional<timespec> LocalTimeToTimespec(const core::DateTime& local) {
  if (!core::IsValidDate(local.year, local.month, local.day) ||
      !core::IsValidTimeOfDay(local.hour, local.minute, local.second, local.millisecond)) {
    return std::nullopt;
  }
  tm fields{};
  fields.tm_year = local.year - 1900;
  fields.tm_mon = local.month - 1;
  fields.tm_mday = local.day;
  fields.tm_hour = local.hour;
  fields.tm_min = local.minute;
  fields.tm_sec = local.second;
  fields.tm_isdst = -1;  // let the zone's rules decide
  // mktime returns -1 both for an error and for one second before the epoch;
  // it fills tm_wday only on success.
  fields.tm_wday = -1;
  const time_t seconds = ::mktime(&fields);
  if (seconds == static_cast<time_t>(-1) && fields.tm_wday == -1) return std::nullopt;
  timespec result{};
  result.tv_sec = seconds;
  result.tv_nsec = static_cast<long>(local.millisecond) * 1'000'000L;
  return result;
}

core::Status PosixSystemClock::SetLocalTime(const core::DateTime& local) {
  const std::optional<timespec> instant = LocalTimeToTimespec(local);
  if (!instant) {
    return core::Status::Error(core::StatusCode::kInvalidArgument,
                               "Not a valid local date and time");
  }
  if (::clock_settime(CLOCK_REALTIME, &*instant) != 0) {
    // errno is thread-local; its text is built here without the
    // non-reentrant strerror.
    const int error = errno;
    const std::string reason =
        error == EPERM ? std::string("no time privilege") : "error " + std::to_string(error);
    return core::Status::Error(core::StatusCode::kIoError, "Setting the clock failed: " + reason);
  }
  return core::Status::Ok();
}

}  // namespace orvik::platform

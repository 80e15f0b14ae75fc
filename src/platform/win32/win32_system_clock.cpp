#include "platform/win32/win32_system_clock.h"

#include <windows.h>

#include <optional>
#include <string>

namespace orvik::platform {
namespace {

// FILETIME counts 100 ns intervals since 1601-01-01 UTC.
constexpr std::int64_t kNanosPerTick = 100;
constexpr std::int64_t kTicksFrom1601To1970 = 116444736000000000;
constexpr std::int64_t kTicksPerMillisecond = 10000;
constexpr std::int64_t kTicksPerMinute = 600000000;

std::int64_t Ticks(const FILETIME& time) {
  ULARGE_INTEGER value{};
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return static_cast<std::int64_t>(value.QuadPart);
}

FILETIME FileTime(std::int64_t ticks) {
  ULARGE_INTEGER value{};
  value.QuadPart = static_cast<ULONGLONG>(ticks);
  return FILETIME{value.LowPart, value.HighPart};
}

// The UTC instant as SYSTEMTIME, rounded to the millisecond; nullopt outside
// what SYSTEMTIME holds.
std::optional<SYSTEMTIME> ToSystemTime(core::UtcNanos instant) {
  // Floor division: the tick count of instants before 1970 rounds down too.
  std::int64_t ticks = instant / kNanosPerTick;
  if (instant % kNanosPerTick < 0) --ticks;
  ticks += kTicksFrom1601To1970;
  if (ticks < 0) return std::nullopt;
  ticks = (ticks + kTicksPerMillisecond / 2) / kTicksPerMillisecond * kTicksPerMillisecond;
  const FILETIME file_time = FileTime(ticks);
  SYSTEMTIME system_time{};
  if (!::FileTimeToSystemTime(&file_time, &system_time)) return std::nullopt;
  return system_time;
}

}  // namespace

core::UtcNanos Win32SystemClock::NowUtc() const {
  FILETIME now{};
  ::GetSystemTimePreciseAsFileTime(&now);
  return (Ticks(now) - kTicksFrom1601To1970) * kNanosPerTick;
}

core::Status Win32SystemClock::SetUtc(core::UtcNanos instant) {
  const std::optional<SYSTEMTIME> target = ToSystemTime(instant);
  if (!target) {
    return core::Status::Error(core::StatusCode::kInvalidArgument,
                               "time out of the system's range");
  }
  if (!::SetSystemTime(&*target)) {
    const DWORD error = ::GetLastError();
    return core::Status::Error(core::StatusCode::kIoError, error == ERROR_PRIVILEGE_NOT_HELD
                                                               ? std::string("no time privilege")
                                                               : "error " + std::to_string(error));
  }
  return core::Status::Ok();
}

std::int64_t Win32SystemClock::MachineZoneOffsetMinutes(core::UtcNanos at) const {
  const std::optional<SYSTEMTIME> utc = ToSystemTime(at);
  if (!utc) return 0;
  // The zone's rule for the year of `at`, so that a changed rule (the zone's
  // history) is taken into account where the system knows it.
  DYNAMIC_TIME_ZONE_INFORMATION dynamic_zone{};
  TIME_ZONE_INFORMATION zone{};
  if (::GetDynamicTimeZoneInformation(&dynamic_zone) == TIME_ZONE_ID_INVALID ||
      !::GetTimeZoneInformationForYear(utc->wYear, &dynamic_zone, &zone)) {
    if (::GetTimeZoneInformation(&zone) == TIME_ZONE_ID_INVALID) return 0;
  }
  SYSTEMTIME local{};
  if (!::SystemTimeToTzSpecificLocalTime(&zone, &*utc, &local)) return 0;
  FILETIME utc_file{};
  FILETIME local_file{};
  if (!::SystemTimeToFileTime(&*utc, &utc_file) || !::SystemTimeToFileTime(&local, &local_file)) {
    return 0;
  }
  return (Ticks(local_file) - Ticks(utc_file)) / kTicksPerMinute;
}

}  // namespace orvik::platform

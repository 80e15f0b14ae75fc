#include "core/summer_rule.h"

#include "core/settings_file.h"
#include "core/status.h"

namespace orvik::core {

bool SummerRule(const Settings& settings, std::uint16_t month, std::uint16_t day,
                std::uint16_t hour) {
  if (!settings.SummerTime) return false;
  // After the change back to zone time.
  if (month > settings.ZoneMonth) return false;
  if (month == settings.ZoneMonth && day > settings.ZoneDay) return false;
  if (month == settings.ZoneMonth && day == settings.ZoneDay && hour >= settings.ZoneHour) {
    return false;
  }
  // Before the change to summer time.
  if (month < settings.SummerMonth) return false;
  if (month == settings.SummerMonth && day < settings.SummerDay) return false;
  if (month == settings.SummerMonth && day == settings.SummerDay && hour < settings.SummerHour) {
    return false;
  }
  return true;
}

bool SummerSwitchDue(Settings& settings, SummerSwitchState& state, const DateTime& pc_now) {
  if (!settings.SummerTime) return false;
  if (pc_now.minute == state.LastMinute) return false;
  state.LastMinute = pc_now.minute;

  if (pc_now.year != state.days_year) {
    if (Result<std::uint16_t> day = LastSundayOfMonth(settings.SummerMonth, pc_now); day.ok()) {
      settings.SummerDay = day.value();
    }
    if (Result<std::uint16_t> day = LastSundayOfMonth(settings.ZoneMonth, pc_now); day.ok()) {
      settings.ZoneDay = day.value();
    }
    state.days_year = pc_now.year;
  }

  if (state.SummerInEffect) {
    return pc_now.hour == settings.ZoneHour && pc_now.day == settings.ZoneDay &&
           pc_now.month == settings.ZoneMonth;
  }
  return pc_now.hour == settings.SummerHour && pc_now.day == settings.SummerDay &&
         pc_now.month == settings.SummerMonth;
}

std::int32_t SummerHoursFor(const Settings& settings, bool summer_in_effect) {
  return IsNmeaProtocol(settings.Protocol) && summer_in_effect ? 1 : 0;
}

}  // namespace orvik::core

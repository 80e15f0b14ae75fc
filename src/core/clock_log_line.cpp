#include "core/clock_log_line.h"

#include "core/calendar.h"

namespace orvik::core {
namespace {

constexpr std::int64_t kMillisecondsPerDay = 24LL * 60 * 60 * 1000;
constexpr std::int64_t kHugeDifference = 1000;  // milliseconds

// Appends `value` in decimal, padded with zeros on the left to `width` digits.
void AppendPadded(std::string& out, unsigned value, int width) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < width) out.append(width - digits.size(), '0');
  out += digits;
}

std::int64_t MillisecondOfDay(const DateTime& t) {
  return ((static_cast<std::int64_t>(t.hour) * 60 + t.minute) * 60 + t.second) * 1000 +
         t.millisecond;
}

}  // namespace

std::string FormatLongTime(const DateTime& time) {
  std::string out;
  AppendPadded(out, time.hour, 2);
  out += ':';
  AppendPadded(out, time.minute, 2);
  out += ':';
  AppendPadded(out, time.second, 2);
  return out;
}

std::string FormatShortDate(const DateTime& date) {
  std::string out;
  AppendPadded(out, date.day, 2);
  out += '.';
  AppendPadded(out, date.month, 2);
  out += '.';
  AppendPadded(out, date.year, 4);
  return out;
}

std::int64_t DifferenceMilliseconds(const DateTime& later, const DateTime& earlier) {
  const std::int64_t days = DaysFromCivil(later.year, later.month, later.day) -
                            DaysFromCivil(earlier.year, earlier.month, earlier.day);
  return days * kMillisecondsPerDay + MillisecondOfDay(later) - MillisecondOfDay(earlier);
}

std::string LogClockSet(std::string_view text, const DateTime& pc_now, const DateTime& set_time) {
  const std::int64_t diff = DifferenceMilliseconds(set_time, pc_now);
  std::string line = FormatLongTime(pc_now);
  line += ' ';
  line += text;
  if (diff >= kHugeDifference || diff <= -kHugeDifference) {
    line += " (Huge difference) .....................";
  }
  line += ' ';
  line += FormatShortDate(set_time);
  line += ' ';
  line += FormatLongTime(set_time);
  line += " Diff (msec.): ";
  line += std::to_string(diff);
  return line;
}

}  // namespace orvik::core

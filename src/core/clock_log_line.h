// The event-log line that records a clock setting on the NMEA path, and the
// fixed time and date formats it uses. Pure; any thread (the acquisition
// thread builds the line, the main thread writes it).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/date_time.h"

namespace orvik::core {

// Returns "hh:mm:ss", two digits each (the long time format of the log).
std::string FormatLongTime(const DateTime& time);

// Returns "dd.MM.yyyy": two-digit day and month, four-digit year (the short
// date format of the log).
std::string FormatShortDate(const DateTime& date);

// Returns later - earlier in milliseconds, exact across days, months and
// years. REQUIRES: both hold valid dates.
std::int64_t DifferenceMilliseconds(const DateTime& later, const DateTime& earlier);

// Returns the clock-setting line (without a line end): pc_now's time, " ",
// `text`, " (Huge difference) ....................." when the step is a
// second or more, " ", set_time's date and time, " Diff (msec.): " and the
// step set_time - pc_now in milliseconds (positive: the clock moved forward).
// REQUIRES: both hold valid dates.
std::string LogClockSet(std::string_view text, const DateTime& pc_now, const DateTime& set_time);

}  // namespace orvik::core

// Date builders for tests: a DateTime from its numbers, and UTC instants
// computed by the C library, independently of the code under test.
#pragma once

#include <cstdint>
#include <string>

#include "core/date_time.h"

namespace orvik::testing {

// The DateTime `y`-`mo`-`d` `h`:`mi`:`s`.`ms`, its day of the week filled in
// when the date is a real one (left 0 otherwise, for tests of wrong dates).
core::DateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0);

// Seconds since the epoch of the UTC date and time given.
std::int64_t UtcSeconds(int year, int month, int day, int hour, int minute, int second);
// "YYYY-MM-DD HH:MM:SS" of the UTC instant `seconds` since the epoch.
std::string UtcText(std::int64_t seconds);

}  // namespace orvik::testing

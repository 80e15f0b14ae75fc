// Builds the NMEA 0183 sentences a simulated receiver sends once per time
// message: GPRMC, GPGGA, GPGSA and a GPGSV group, each with its checksum and
// CR LF, for a fixed position. Pure; any thread.
#pragma once

#include <string>
#include <vector>

#include "core/date_time.h"

namespace orvik::tools {

struct NmeaFix {
  core::DateTime utc;       // day_of_week unused; millisecond shown per fraction_digits
  bool valid = true;        // RMC status "A" (else "V"), GGA quality, GSA mode
  int visible = 8;          // satellites in view, 0..32
  int tracked = 6;          // of those, the first `tracked` have a signal; <= visible
  int fraction_digits = 3;  // 0..3 digits after the seconds of the time field
};

// Returns e.g. "$GPRMC,120316.000,A,5925.0000,N,02445.0000,E,000.0,000.0,150305,,*XX\r\n".
std::string BuildRmc(const NmeaFix& fix);

// Returns the GPGGA sentence: time, position, quality 1 (0 without a fix), tracked count.
std::string BuildGga(const NmeaFix& fix);

// Returns the GPGSA sentence: 3D fix (1 = none) and up to 12 tracked satellite numbers.
std::string BuildGsa(const NmeaFix& fix);

// Returns the GPGSV group: max(1, ceil(visible / 4)) sentences, four satellites
// each, every sentence carrying the group size, its own number and `visible`.
std::vector<std::string> BuildGsv(const NmeaFix& fix);

// Where the RMC stands in a group: first (RMC, GGA, GSA, GSV...) or last
// (GGA, GSA, GSV..., RMC), as with receivers whose cycle ends with it.
enum class RmcPlace { kFirst, kLast };

// Returns RMC, GGA, GSA and the GSV group, concatenated in that order, or
// with the RMC moved to the end.
std::string BuildNmeaGroup(const NmeaFix& fix, RmcPlace rmc = RmcPlace::kFirst);

}  // namespace orvik::tools

// What the line-timing benchmark's feeder sends: NMEA bursts made of a GPRMC
// that carries the date and time of the period it stands for, then GPGGA
// filler sentences, every one with a correct checksum, shaped as each row of
// the benchmark needs. Pure; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvik::bench {

struct BurstShape {
  int fillers = 3;  // GPGGA sentences after the GPRMC
  // 0: the sentences as built. Otherwise the burst is exactly this many
  // characters: without `cut_tail` the sentences stay whole and their
  // decimal fields (GPRMC speed, GPGGA dilution) get trailing zeros to fill
  // it; with `cut_tail` further GPGGA follow and the burst is cut off at
  // this size, so its last sentence is a fragment without CR LF.
  std::size_t size = 0;
  bool cut_tail = false;
};

// The burst for the period that begins at `utc_ns` (nanoseconds since 1970,
// UTC); its sentences' time is hhmmss.sss, rounded to the millisecond.
// REQUIRES: a time between the years 1970 and 9999.
std::string BuildBurst(const BurstShape& shape, std::int64_t utc_ns);

}  // namespace orvik::bench

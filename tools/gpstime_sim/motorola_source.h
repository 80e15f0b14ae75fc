// Builds the two binary time messages of a simulated Motorola receiver:
// "@@Hb" (54 bytes) and "@@Ea" (76 bytes). Each is "@@", two letters, the
// data bytes, one checksum byte (XOR of the letters and the data) and CR LF;
// multi-byte numbers are big-endian. Pure; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/date_time.h"

namespace orvik::tools {

inline constexpr std::size_t kHbLength = 54;
inline constexpr std::size_t kEaLength = 76;

struct MotorolaFix {
  core::DateTime time;  // the receiver's local time (UTC plus its GMT offset)
  int visible = 8;      // 0..255
  int tracked = 6;      // 0..255
};

// Returns the 54-byte "@@Hb" message. Data bytes (counted after "@@Hb"):
// 0 month, 1 day, 2-3 year, 4 hour, 5 minute, 6 second, 7-10 nanoseconds,
// 11-14 latitude and 15-18 longitude in milliarcseconds, 19-22 and 23-26
// heights in cm, 27-34 speeds, heading and DOP (zero), 35 visible, 36 tracked,
// 37-46 receiver status (zero).
std::vector<std::uint8_t> BuildHb(const MotorolaFix& fix);

// Returns the 76-byte "@@Ea" message. Data bytes: 0-6 date and time as in
// "Hb", 7-10 nanoseconds, 11-14 latitude, 15-18 longitude, 19-22 height,
// 23-26 (zero), 27-28 speed, 29-30 heading, 31-32 DOP, 33 DOP type,
// 34 visible, 35 tracked, 36-67 eight channels of (satellite, mode, signal,
// status), 68 receiver status.
std::vector<std::uint8_t> BuildEa(const MotorolaFix& fix);

}  // namespace orvik::tools

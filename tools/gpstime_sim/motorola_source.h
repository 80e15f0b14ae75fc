// Builds the binary messages of a simulated Motorola receiver: the time
// messages "@@Hb" (54 bytes) and "@@Ea" (76 bytes), and the answers to the
// GMT offset commands, "@@Gb" (17 bytes) and "@@Ab" (10 bytes). Each is "@@",
// two letters, the data bytes, one checksum byte (XOR of the letters and the
// data) and CR LF; multi-byte numbers are big-endian. Pure; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/date_time.h"

namespace orvik::tools {

inline constexpr std::size_t kHbLength = 54;
inline constexpr std::size_t kEaLength = 76;
inline constexpr std::size_t kGbLength = 17;
inline constexpr std::size_t kAbLength = 10;

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

// The GMT offset fields of the answers: sign (255 when the offset is
// negative, else 0), whole hours and minutes of its magnitude.
// Returns the 17-byte "@@Gb" answer: 0 month, 1 day, 2-3 year, 4 hour,
// 5 minute, 6 second of `local` (the receiver's time, UTC plus the offset),
// 7 sign, 8 hours, 9 minutes of `offset_minutes`.
std::vector<std::uint8_t> BuildGb(const core::DateTime& local, int offset_minutes);

// Returns the 10-byte "@@Ab" answer: 0 sign, 1 hours, 2 minutes of `offset_minutes`.
std::vector<std::uint8_t> BuildAb(int offset_minutes);

}  // namespace orvik::tools

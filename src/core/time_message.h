// TimeMessage: the fixed 39-byte record pushed to every LAN client once per
// accepted receiver message.
//
//   byte 0      month 1..12
//   byte 1      day of month 1..31
//   bytes 2, 3  year, most significant byte first (7, 234 for 2026)
//   byte 4      hour 0..23
//   byte 5      minute 0..59
//   byte 6      second 0..59
//   bytes 7-33  Motorola: the receiver message's data bytes 7..33; NMEA: 0
//   byte 34     satellites visible
//   byte 35     satellites tracked (NMEA: 0 while the fix is not valid)
//   bytes 36-38 the end mark 251, 252, 253
//
// Date and time are local time. No length prefix, no checksum.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace orvik::core {

inline constexpr std::size_t kTimeMessageSize = 39;
inline constexpr std::size_t kOffsetMonth = 0;
inline constexpr std::size_t kOffsetDay = 1;
inline constexpr std::size_t kOffsetYear = 2;  // two bytes, most significant first
inline constexpr std::size_t kOffsetHour = 4;
inline constexpr std::size_t kOffsetMinute = 5;
inline constexpr std::size_t kOffsetSecond = 6;
inline constexpr std::size_t kOffsetVisible = 34;
inline constexpr std::size_t kOffsetTracked = 35;
inline constexpr std::size_t kOffsetEndMark = 36;
inline constexpr std::array<std::uint8_t, 3> kEndMark = {251, 252, 253};

using TimeMessage = std::array<std::uint8_t, kTimeMessageSize>;
static_assert(sizeof(TimeMessage) == 39, "the record on the wire is 39 bytes");

// Reads a big-endian 16-bit value at `offset`. REQUIRES: offset + 2 <= bytes.size().
constexpr std::uint16_t ReadBeU16(std::span<const std::uint8_t> bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}

// Writes a big-endian 16-bit value at `offset`. REQUIRES: offset + 2 <= bytes.size().
constexpr void WriteBeU16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value) {
  bytes[offset] = static_cast<std::uint8_t>(value >> 8);
  bytes[offset + 1] = static_cast<std::uint8_t>(value & 0xFF);
}

}  // namespace orvik::core

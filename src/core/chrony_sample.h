// ChronySample: one time sample for a chrony SOCK reference clock, the
// 40-byte datagram chronyd reads from its refclock socket. The layout is that
// of the C struct chronyd expects on 64-bit Linux, in the host's (little-
// endian) byte order:
//
//   bytes 0-7    seconds of the reference instant since 1970-01-01 UTC (int64)
//   bytes 8-15   microseconds within that second, 0..999999 (int64)
//   bytes 16-23  offset in seconds: true (receiver) time at the reference
//                instant minus the reference instant itself (IEEE double)
//   bytes 24-27  pulse: 0, a complete time sample rather than a bare pulse
//   bytes 28-31  leap: 0, no leap second announced
//   bytes 32-35  padding, 0
//   bytes 36-39  magic 0x534f434b ("SOCK" read as a little-endian int32)
//
// The reference instant is a reading of the system clock (CLOCK_REALTIME);
// chronyd takes "instant + offset" as the true time at that instant. chronyd
// drops datagrams of any other size, samples older than 2^(poll+1) seconds
// and samples from its future. Pure; any thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace orvik::core {

inline constexpr std::size_t kChronySampleSize = 40;
inline constexpr std::size_t kChronyOffsetSeconds = 0;
inline constexpr std::size_t kChronyOffsetMicroseconds = 8;
inline constexpr std::size_t kChronyOffsetOffset = 16;
inline constexpr std::size_t kChronyOffsetPulse = 24;
inline constexpr std::size_t kChronyOffsetLeap = 28;
inline constexpr std::size_t kChronyOffsetPad = 32;
inline constexpr std::size_t kChronyOffsetMagic = 36;
inline constexpr std::uint32_t kChronySampleMagic = 0x534f434b;

using ChronySample = std::array<std::uint8_t, kChronySampleSize>;

// Returns the sample for `reference_ns` (system-clock nanoseconds since the
// Unix epoch, UTC) and `offset_ns` (message UTC minus that instant, in
// nanoseconds). The instant is cut down to the whole microsecond at or before
// it; the offset stays exact, because the system clock and the true time
// advance together over that sub-microsecond step. Instants before 1970 give
// negative seconds with microseconds still within 0..999999.
ChronySample ComposeChronySample(std::int64_t reference_ns, std::int64_t offset_ns);

}  // namespace orvik::core

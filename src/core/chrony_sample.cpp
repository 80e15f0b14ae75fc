#include "core/chrony_sample.h"

#include <bit>
#include <limits>
#include <span>

namespace orvik::core {

static_assert(std::numeric_limits<double>::is_iec559, "chronyd reads an IEEE 754 double");
static_assert(sizeof(double) == 8);
// chronyd reads the struct in its own byte order; the fields are written
// little-endian, which is that order on every platform this program targets.
static_assert(std::endian::native == std::endian::little);
static_assert(kChronyOffsetMagic + 4 == kChronySampleSize, "the magic ends the sample");

namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;
constexpr std::int64_t kNanosecondsPerMicrosecond = 1'000;

void WriteLe(std::span<std::uint8_t> bytes, std::size_t offset, std::uint64_t value,
             std::size_t width) {
  for (std::size_t i = 0; i < width; ++i) {
    bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }
}

void WriteLeInt64(std::span<std::uint8_t> bytes, std::size_t offset, std::int64_t value) {
  WriteLe(bytes, offset, static_cast<std::uint64_t>(value), 8);
}

void WriteLeUint32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
  WriteLe(bytes, offset, value, 4);
}

}  // namespace

ChronySample ComposeChronySample(std::int64_t reference_ns, std::int64_t offset_ns) {
  // Floor division, so that an instant before 1970 still has a microsecond
  // field within 0..999999 as chronyd expects of a timeval.
  std::int64_t seconds = reference_ns / kNanosecondsPerSecond;
  std::int64_t rest_ns = reference_ns % kNanosecondsPerSecond;
  if (rest_ns < 0) {
    rest_ns += kNanosecondsPerSecond;
    --seconds;
  }
  const double offset_seconds =
      static_cast<double>(offset_ns) / static_cast<double>(kNanosecondsPerSecond);

  ChronySample sample{};
  WriteLeInt64(sample, kChronyOffsetSeconds, seconds);
  WriteLeInt64(sample, kChronyOffsetMicroseconds, rest_ns / kNanosecondsPerMicrosecond);
  WriteLe(sample, kChronyOffsetOffset, std::bit_cast<std::uint64_t>(offset_seconds), 8);
  WriteLeUint32(sample, kChronyOffsetPulse, 0);
  WriteLeUint32(sample, kChronyOffsetLeap, 0);
  WriteLeUint32(sample, kChronyOffsetPad, 0);
  WriteLeUint32(sample, kChronyOffsetMagic, kChronySampleMagic);
  return sample;
}

}  // namespace orvik::core

// ComposeChronySample: the 40-byte datagram of chronyd's SOCK refclock.
#include "core/chrony_sample.h"

#include <gtest/gtest.h>
#include <sys/time.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace orvik::core {
namespace {

// The C struct chronyd reads, laid out by this compiler for this host; the
// composed bytes must read back through it field by field.
struct HostSockSample {
  timeval tv;
  double offset;
  int pulse;
  int leap;
  int pad;
  int magic;
};
static_assert(sizeof(HostSockSample) == kChronySampleSize);
static_assert(offsetof(HostSockSample, tv) + offsetof(timeval, tv_sec) == kChronyOffsetSeconds);
static_assert(offsetof(HostSockSample, tv) + offsetof(timeval, tv_usec) ==
              kChronyOffsetMicroseconds);
static_assert(offsetof(HostSockSample, offset) == kChronyOffsetOffset);
static_assert(offsetof(HostSockSample, pulse) == kChronyOffsetPulse);
static_assert(offsetof(HostSockSample, leap) == kChronyOffsetLeap);
static_assert(offsetof(HostSockSample, pad) == kChronyOffsetPad);
static_assert(offsetof(HostSockSample, magic) == kChronyOffsetMagic);

HostSockSample ReadBack(const ChronySample& bytes) {
  HostSockSample sample;
  std::memcpy(&sample, bytes.data(), sizeof sample);
  return sample;
}

TEST(ComposeChronySample, ReadsBackThroughTheHostStruct) {
  struct Case {
    const char* legend;
    std::int64_t reference_ns;
    std::int64_t offset_ns;
    std::int64_t seconds;
    std::int64_t microseconds;
    double offset;
  };
  const Case cases[] = {
      {"mid-second, clock 3 ms slow", 1'796'000'000'123'456'789, 3'000'000, 1'796'000'000, 123'456,
       0.003},
      {"whole second, clock 250 ms fast", 1'796'000'000'000'000'000, -250'000'000, 1'796'000'000, 0,
       -0.25},
      {"the sub-microsecond part is dropped", 1'796'000'000'000'000'999, 1, 1'796'000'000, 0, 1e-9},
      {"last microsecond of a second", 1'796'000'000'999'999'999, 0, 1'796'000'000, 999'999, 0.0},
      {"one nanosecond before 1970", -1, 0, -1, 999'999, 0.0},
      {"a whole second before 1970", -1'000'000'000, 0, -1, 0, 0.0},
      {"an offset of a day", 0, 86'400'000'000'000, 0, 0, 86'400.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.legend);
    const HostSockSample sample = ReadBack(ComposeChronySample(c.reference_ns, c.offset_ns));
    EXPECT_EQ(sample.tv.tv_sec, c.seconds);
    EXPECT_EQ(sample.tv.tv_usec, c.microseconds);
    EXPECT_DOUBLE_EQ(sample.offset, c.offset);
    EXPECT_EQ(sample.pulse, 0);
    EXPECT_EQ(sample.leap, 0);
    EXPECT_EQ(sample.pad, 0);
    EXPECT_EQ(sample.magic, 0x534f434b);
  }
}

TEST(ComposeChronySample, BytesAreLittleEndianWithTheSockMagicLast) {
  // 2026-12-09 00:00:00 UTC plus 0.5 s, the clock 1 s slow.
  const ChronySample sample = ComposeChronySample(1'796'774'400'500'000'000, 1'000'000'000);
  const ChronySample expected = {
      0x00, 0x9a, 0x18, 0x6b, 0x00, 0x00, 0x00, 0x00,              // 1796774400 s
      0x20, 0xa1, 0x07, 0x00, 0x00, 0x00, 0x00, 0x00,              // 500000 us
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xf0, 0x3f,              // 1.0
      0,    0,    0,    0,    0,    0,    0,    0,    0, 0, 0, 0,  // pulse, leap, pad
      0x4b, 0x43, 0x4f, 0x53,                                      // "KCOS"
  };
  EXPECT_EQ(sample, expected);
}

}  // namespace
}  // namespace orvik::core

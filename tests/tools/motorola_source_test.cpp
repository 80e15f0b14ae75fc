#include "gpstime_sim/motorola_source.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace orvik::tools {
namespace {

// 7 December 2026, 13:05:00.250, 9 visible, 7 tracked.
MotorolaFix DecemberFix() {
  MotorolaFix fix;
  fix.time = {2026, 12, 1, 7, 13, 5, 0, 250};
  fix.visible = 9;
  fix.tracked = 7;
  return fix;
}

std::uint8_t XorOf(const std::vector<std::uint8_t>& bytes, std::size_t begin, std::size_t end) {
  std::uint8_t sum = 0;
  for (std::size_t i = begin; i < end; ++i) sum ^= bytes[i];
  return sum;
}

// Positions below count from the first byte after the four header bytes,
// the way a receiving program reads the messages.
TEST(MotorolaSource, MessagesHaveLengthHeaderChecksumAndCrLf) {
  const struct {
    const char* name;
    std::vector<std::uint8_t> message;
    std::size_t length;
    char letter1, letter2;
  } cases[] = {{"Hb", BuildHb(DecemberFix()), 54, 'H', 'b'},
               {"Ea", BuildEa(DecemberFix()), 76, 'E', 'a'}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::uint8_t>& m = c.message;
    ASSERT_EQ(m.size(), c.length);
    EXPECT_EQ(m[0], '@');
    EXPECT_EQ(m[1], '@');
    EXPECT_EQ(m[2], c.letter1);
    EXPECT_EQ(m[3], c.letter2);
    EXPECT_EQ(m[c.length - 3], XorOf(m, 2, c.length - 3));
    EXPECT_EQ(m[c.length - 2], '\r');
    EXPECT_EQ(m[c.length - 1], '\n');
  }
}

TEST(MotorolaSource, DateTimeAndSatelliteCountsSitAtTheirPositions) {
  const struct {
    const char* name;
    std::vector<std::uint8_t> message;
    std::size_t visible_at, tracked_at;
  } cases[] = {{"Hb", BuildHb(DecemberFix()), 35, 36}, {"Ea", BuildEa(DecemberFix()), 34, 35}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::uint8_t* data = c.message.data() + 4;
    const std::uint8_t expected_time[] = {12, 7, 7, 234, 13, 5, 0};  // year 2026 = 7 * 256 + 234
    for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(data[i], expected_time[i]) << "position " << i;
    // 250 ms as nanoseconds, big-endian: 250000000 = 0x0EE6B280.
    EXPECT_EQ(data[7], 0x0E);
    EXPECT_EQ(data[8], 0xE6);
    EXPECT_EQ(data[9], 0xB2);
    EXPECT_EQ(data[10], 0x80);
    EXPECT_EQ(data[c.visible_at], 9);
    EXPECT_EQ(data[c.tracked_at], 7);
  }
}

TEST(MotorolaSource, EaChannelsShowTrackedSatellitesWithSignal) {
  MotorolaFix fix = DecemberFix();
  fix.visible = 5;
  fix.tracked = 3;
  const std::vector<std::uint8_t> ea = BuildEa(fix);
  constexpr std::size_t kChannels = 4 + 36;
  for (std::size_t channel = 0; channel < 8; ++channel) {
    const std::uint8_t* block = ea.data() + kChannels + channel * 4;
    EXPECT_EQ(block[0] != 0, channel < 5) << "channel " << channel;  // satellite number
    EXPECT_EQ(block[2] != 0, channel < 3) << "channel " << channel;  // signal strength
  }
}

// The answers carry the fields in the layout of the commands they answer,
// so a command's worked-out bytes are also the answer with the same values.
TEST(MotorolaSource, OffsetAnswersHaveTheCommandLayoutAndTheSignByte) {
  const core::DateTime december{2026, 12, 1, 7, 13, 5, 0, 0};
  const struct {
    const char* legend;
    std::vector<std::uint8_t> built;
    std::vector<std::uint8_t> expected;
  } cases[] = {
      {"Gb +2:00",
       BuildGb(december, 120),
       {64, 64, 71, 98, 12, 7, 7, 234, 13, 5, 0, 0, 2, 0, 201, 13, 10}},
      {"Gb -4:30",
       BuildGb(december, -270),
       {64, 64, 71, 98, 12, 7, 7, 234, 13, 5, 0, 255, 4, 30, 0xC9 ^ 2 ^ 255 ^ 4 ^ 30, 13, 10}},
      {"Ab +2:00", BuildAb(120), {64, 64, 65, 98, 0, 2, 0, 33, 13, 10}},
      {"Ab -4:00", BuildAb(-240), {64, 64, 65, 98, 255, 4, 0, 0xD8, 13, 10}},
      {"Ab -0:30", BuildAb(-30), {64, 64, 65, 98, 255, 0, 30, 0x23 ^ 255 ^ 30, 13, 10}},
  };
  for (const auto& c : cases) EXPECT_EQ(c.built, c.expected) << c.legend;
}

}  // namespace
}  // namespace orvik::tools

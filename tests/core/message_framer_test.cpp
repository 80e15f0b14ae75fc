// The framers' rules on bytes in memory: where a message starts and ends,
// whatever the receiver glued, doubled or cut.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/motorola_framer.h"
#include "core/nmea_framer.h"
#include "support/line_framing.h"

namespace orvik::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Every message framed from `bytes`, all of them on the line at once.
std::vector<std::string> Frames(core::MessageFramer&& framer, const std::string& bytes) {
  std::vector<std::string> frames;
  FrameLine(framer, bytes, [&frames](std::span<const std::uint8_t> message) {
    frames.emplace_back(message.begin(), message.end());
  });
  return frames;
}

std::vector<std::string> NmeaFrames(const std::string& bytes) {
  return Frames(core::NmeaFramer(), bytes);
}

std::vector<std::string> MotorolaFrames(const std::string& bytes) {
  return Frames(core::MotorolaFramer(), bytes);
}

struct Case {
  const char* what;
  std::string bytes;
  std::vector<std::string> frames;
};

TEST(NmeaFramer, TakesSentencesEndedByLineFeedAloneWithoutLosingTheNext) {
  EXPECT_THAT(NmeaFrames("$GPGGA,1*00\n$GPRMC,2*00\n$GPGSV,3*00\n"),
              ElementsAre("GPGGA,1*00\r\n", "GPRMC,2*00\r\n", "GPGSV,3*00\r\n"));
}

TEST(NmeaFramer, DollarAlwaysStartsANewSentence) {
  const std::string gga = "GPGGA,1*00\r\n";
  const std::string rmc = "GPRMC,2*00\r\n";
  const Case cases[] = {
      // A complete sentence glued to the next one is decoded, CR LF supplied.
      {"glued after the checksum", "$GPGGA,1*00$GPRMC,2*00\r\n", {gga, rmc}},
      {"glued after CR", "$GPGGA,1*00\r$GPRMC,2*00\r\n", {gga, rmc}},
      {"glued thrice", "$GPGGA,1*00$GPRMC,2*00$GPGGA,1*00\r\n", {gga, rmc, gga}},
      // A sentence cut off by a "$" is dropped; the next one is framed from it.
      {"doubled dollar", "$$GPRMC,2*00\r\n", {rmc}},
      {"tripled dollar", "$$$GPRMC,2*00\r\n", {rmc}},
      {"dollar in the address", "$GP$GPRMC,2*00\r\n", {rmc}},
      {"dollar in the body", "$GPGGA,12$GPRMC,2*00\r\n", {rmc}},
      {"dollar in the checksum", "$GPGGA,1*0$$GPRMC,2*00\r\n", {rmc}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(NmeaFrames(c.bytes), c.frames) << c.what;
  }
}

TEST(NmeaFramer, StarAtTheLastBodyPositionStillLeavesRoomForTheChecksum) {
  // 254 body bytes then "*": the star is the 255th body byte.
  const std::string body = "," + std::string(253, 'B') + "*";
  ASSERT_EQ(body.size(), 255u);
  EXPECT_THAT(NmeaFrames("$GPXXX" + body + "7F\r\n"), ElementsAre("GPXXX" + body + "7F\r\n"));
}

TEST(MotorolaFramer, AtAtInAMessageThatCannotBeCompleteStartsTheNext) {
  const auto complete = [](const std::string& header, std::size_t rest, const std::string& data) {
    return header + data + std::string(rest - 2 - data.size(), 'd') + "\r\n";
  };
  const std::string ea = complete("@@Ea", 72, "");
  const std::string hb = complete("@@Hb", 50, "");
  const std::string ea_holding_at_at = complete("@@Ea", 72, "xx@@Hbyy");
  const Case cases[] = {
      {"junk before a header", "\r\n" + ea + hb, {ea, hb}},
      {"a lone @ before a header", "x@" + ea.substr(1) + hb, {ea, hb}},
      {"a message cut off by the next", ea.substr(0, 20) + hb + ea, {hb, ea}},
      {"a message cut off by two others", hb.substr(0, 9) + hb + ea, {hb, ea}},
      {"a message without its LF", ea.substr(0, 75) + hb + ea, {hb, ea}},
      // Complete messages are framed whole, whatever their data holds.
      {"@@ as data", ea_holding_at_at + hb, {ea_holding_at_at, hb}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MotorolaFrames(c.bytes), c.frames) << c.what;
  }
}

TEST(MotorolaFramer, ShortMessageIsNotFramed) {
  EXPECT_THAT(MotorolaFrames("@@Ea" + std::string(40, 'x')), IsEmpty());
}

}  // namespace
}  // namespace orvik::testing

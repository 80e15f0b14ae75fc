#include "core/checksums.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace orvik::core {
namespace {

std::span<const std::uint8_t> Bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Sentences as received from real receivers; the checksum after "*" is theirs.
TEST(NmeaChecksum, MatchesReceiverSentences) {
  const std::string sentences[] = {
      "$GPRMC,120316,V,4221.4394,N,01321.9948,E,000.0,000.0,150305,001.4,E*63",
      "$GPGSV,2,1,08,01,10,158,45,03,72,164,41,11,24,279,,14,30,119,48*76",
      "$GPGSA,A,1,,,,,,,,,,,,,,,*1E",
      "$GPRMC,143748.77,A,4806.3731,N,00138.6217,W,0.00,266.5,121007,2.6,W,A*0A",
      "$GPGGA,213121.000,4404.1295864,N,12118.8685453,W,2,07,1.2,1102.537,M,-20.300,M,,0000*5F",
      "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A",
      "$PGRMC1,1,,,,,,,,,,,,,*4B",
  };
  for (const std::string& sentence : sentences) {
    const std::size_t star = sentence.find('*');
    const std::string body = sentence.substr(1, star - 1);
    const int expected = std::stoi(sentence.substr(star + 1), nullptr, 16);
    EXPECT_EQ(NmeaChecksum(Bytes(body)), expected) << sentence;
    EXPECT_EQ(NmeaSentence(body), sentence + "\r\n") << sentence;
  }
}

TEST(NmeaSentence, WritesUpperCaseHexWithLeadingZero) {
  // "GPGSV,1,1,00" sums to 0x79; "A" alone to 0x41; "AA" to 0x00; "A\x0A" to 0x4B.
  EXPECT_EQ(NmeaSentence("GPGSV,1,1,00"), "$GPGSV,1,1,00*79\r\n");
  EXPECT_EQ(NmeaSentence("AA"), "$AA*00\r\n");
  EXPECT_EQ(NmeaSentence("A\x01"), "$A\x01*40\r\n");
  EXPECT_EQ(NmeaSentence(""), "$*00\r\n");
  EXPECT_EQ(NmeaSentence("J"), "$J*4A\r\n");
}

TEST(MotorolaChecksum, MatchesCommandExamples) {
  struct Case {
    std::vector<std::uint8_t> letters_and_data;
    std::uint8_t checksum;
  };
  const Case cases[] = {
      {{'H', 'b', 1}, 0x2B},
      {{'E', 'a', 1}, 0x25},
      {{'A', 'b', 0, 2, 0}, 0x21},
      {{'A', 'b', 0, 3, 0}, 0x20},
      {{'G', 'b', 12, 7, 7, 234, 13, 5, 0, 0, 2, 0}, 0xC9},
      {{}, 0x00},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MotorolaChecksum(c.letters_and_data), c.checksum);
  }
}

// Every "@@Ea" message of a real Oncore capture carries a checksum byte that
// the receiver computed; the capture's expected table lists them all as good.
TEST(MotorolaChecksum, MatchesEveryEaMessageOfOncoreCapture) {
  const char* corpus = std::getenv("ORVIK_CORPUS_DIR");
  ASSERT_NE(corpus, nullptr) << "ORVIK_CORPUS_DIR is not set";
  std::ifstream file(std::string(corpus) + "/moto_oncore_r5122_2.bin", std::ios::binary);
  ASSERT_TRUE(file.good());
  const std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(file)),
                                       std::istreambuf_iterator<char>());
  constexpr std::size_t kEaLength = 76;
  int messages = 0;
  for (std::size_t at = 0; at + kEaLength <= data.size(); ++at) {
    if (data[at] != '@' || data[at + 1] != '@' || data[at + 2] != 'E' || data[at + 3] != 'a') {
      continue;
    }
    const std::span<const std::uint8_t> message(data.data() + at, kEaLength);
    EXPECT_EQ(MotorolaChecksum(message.subspan(2, 71)), message[73]) << "at " << at;
    EXPECT_EQ(message[74], '\r');
    EXPECT_EQ(message[75], '\n');
    ++messages;
  }
  EXPECT_EQ(messages, 11);  // the capture's expected table lists 11 Ea rows
}

}  // namespace
}  // namespace orvik::core

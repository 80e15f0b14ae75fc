#include "gpstime_sim/nmea_source.h"

#include <gtest/gtest.h>

#include "support/nmea_text.h"

namespace orvik::tools {
namespace {

using orvik::testing::HasValidNmeaChecksum;
using orvik::testing::LinesWithEnds;
using orvik::testing::NmeaFields;

NmeaFix NewYearsEveFix() {
  NmeaFix fix;
  fix.utc = {2026, 12, 4, 31, 23, 59, 59, 250};
  return fix;
}

TEST(NmeaSource, RmcCarriesTimeStatusAndDateWhereReadersLookForThem) {
  const std::string rmc = BuildRmc(NewYearsEveFix());
  EXPECT_EQ(rmc, "$GPRMC,235959.250,A,5925.0000,N,02445.0000,E,000.0,000.0,311226,,*0C\r\n");
  ASSERT_TRUE(HasValidNmeaChecksum(rmc));
  const std::vector<std::string> fields = NmeaFields(rmc);
  ASSERT_GE(fields.size(), 10u);
  EXPECT_EQ(fields[0], "GPRMC");
  EXPECT_EQ(fields[1], "235959.250");
  EXPECT_EQ(fields[2], "A");
  EXPECT_EQ(fields[9], "311226");  // the date follows the ninth comma
}

TEST(NmeaSource, TimeFieldHasTheChosenFractionDigits) {
  const struct {
    int digits;
    const char* time;
  } cases[] = {{0, "235959"}, {1, "235959.2"}, {2, "235959.25"}, {3, "235959.250"}};
  for (const auto& c : cases) {
    NmeaFix fix = NewYearsEveFix();
    fix.fraction_digits = c.digits;
    for (const std::string& sentence : {BuildRmc(fix), BuildGga(fix)}) {
      EXPECT_TRUE(HasValidNmeaChecksum(sentence)) << sentence;
      EXPECT_EQ(NmeaFields(sentence)[1], c.time) << sentence;
    }
  }
}

TEST(NmeaSource, NoFixShowsInRmcGgaAndGsa) {
  NmeaFix fix = NewYearsEveFix();
  fix.valid = false;
  EXPECT_EQ(NmeaFields(BuildRmc(fix))[2], "V");
  EXPECT_EQ(NmeaFields(BuildGga(fix))[6], "0");                  // fix quality
  EXPECT_EQ(NmeaFields(BuildGga(fix))[7], "00");                 // satellites used
  EXPECT_EQ(BuildGsa(fix), "$GPGSA,A,1,,,,,,,,,,,,,,,*1E\r\n");  // as a receiver without fix sends

  fix.valid = true;
  EXPECT_EQ(NmeaFields(BuildGga(fix))[6], "1");
  EXPECT_EQ(NmeaFields(BuildGga(fix))[7], "06");
  EXPECT_EQ(NmeaFields(BuildGsa(fix))[2], "3");
}

TEST(NmeaSource, GsvGroupCountsSentencesSatellitesAndSignals) {
  const struct {
    int visible;
    int tracked;
    std::size_t sentences;
  } cases[] = {{0, 0, 1}, {1, 1, 1}, {4, 2, 1}, {5, 5, 2}, {8, 6, 2}, {11, 0, 3}, {32, 12, 8}};
  for (const auto& c : cases) {
    NmeaFix fix = NewYearsEveFix();
    fix.visible = c.visible;
    fix.tracked = c.tracked;
    const std::vector<std::string> group = BuildGsv(fix);
    ASSERT_EQ(group.size(), c.sentences) << "visible " << c.visible;
    int satellites = 0;
    int with_signal = 0;
    for (std::size_t i = 0; i < group.size(); ++i) {
      SCOPED_TRACE(group[i]);
      EXPECT_TRUE(HasValidNmeaChecksum(group[i]));
      EXPECT_LE(group[i].size(), 82u);  // the longest sentence NMEA 0183 allows
      const std::vector<std::string> fields = NmeaFields(group[i]);
      EXPECT_EQ(fields[1], std::to_string(c.sentences));
      EXPECT_EQ(fields[2], std::to_string(i + 1));
      EXPECT_EQ(std::stoi(fields[3]), c.visible);
      ASSERT_EQ((fields.size() - 4) % 4, 0u);
      for (std::size_t at = 4; at + 3 < fields.size(); at += 4) {
        ++satellites;
        if (!fields[at + 3].empty()) ++with_signal;
      }
    }
    EXPECT_EQ(satellites, c.visible);
    EXPECT_EQ(with_signal, c.tracked);
  }
}

TEST(NmeaSource, GroupIsRmcGgaGsaThenGsvAllValidOrEndsWithTheRmc) {
  const struct {
    RmcPlace rmc;
    std::vector<const char*> expected;
  } cases[] = {
      {RmcPlace::kFirst, {"GPRMC", "GPGGA", "GPGSA", "GPGSV", "GPGSV"}},
      {RmcPlace::kLast, {"GPGGA", "GPGSA", "GPGSV", "GPGSV", "GPRMC"}},
  };
  for (const auto& c : cases) {
    const std::vector<std::string> lines = LinesWithEnds(BuildNmeaGroup(NewYearsEveFix(), c.rmc));
    ASSERT_EQ(lines.size(), c.expected.size());  // 8 visible: two GSV sentences
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_TRUE(HasValidNmeaChecksum(lines[i])) << lines[i];
      EXPECT_LE(lines[i].size(), 82u) << lines[i];
      EXPECT_EQ(NmeaFields(lines[i])[0], c.expected[i]);
    }
  }
}

}  // namespace
}  // namespace orvik::tools

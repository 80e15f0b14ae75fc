#include "core/satellite_tracker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "support/nmea_text.h"

namespace orvik::core {
namespace {

// Feeds one sentence written as its address and fields ("GPGSV,3,1,..."),
// without "$" and "*".
void Feed(SatelliteTracker& tracker, const std::string& sentence) {
  const std::string fields = sentence.substr(5);
  const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(fields.data()),
                                            fields.size());
  if (sentence.substr(2, 3) == "GSV") {
    tracker.OnGsv({sentence[0], sentence[1]}, bytes);
  } else {
    tracker.OnRmc(bytes);
  }
}

// A GPS group of three sentences, 9 in view, with 1, 2 and 4 satellites
// that have a signal: 7 tracked in all.
const std::string kFirst = "GPGSV,3,1,09,01,10,158,45,02,10,158,,03,10,158,,04,10,158,";
const std::string kSecond = "GPGSV,3,2,09,05,10,158,45,06,10,158,33,07,10,158,,08,10,158,00";
const std::string kThird = "GPGSV,3,3,09,09,10,158,45,10,10,158,33,11,10,158,20,12,10,158,11";

TEST(SatelliteTracker, TrackedCountComesFromTheSentencesOfOneWholeGroup) {
  struct Case {
    const char* what;
    std::vector<std::string> sentences;
    int tracked;
  };
  const Case cases[] = {
      {"a whole group", {kFirst, kSecond, kThird}, 7},
      {"then a group that lost sentence 1", {kFirst, kSecond, kThird, kSecond, kThird}, 7},
      {"then a group that lost a middle sentence", {kFirst, kSecond, kThird, kFirst, kThird}, 7},
      {"then a group whose total changed",
       {kFirst, kSecond, kThird, kFirst, "GPGSV,2,2,09,05,10,158,45,06,10,158,33"},
       7},
      {"only a group without sentence 1", {kSecond, kThird}, 0},
  };
  for (const Case& c : cases) {
    SatelliteTracker tracker;
    for (const std::string& sentence : c.sentences) Feed(tracker, sentence);
    EXPECT_EQ(int{tracker.Tracked()}, c.tracked) << c.what;
    EXPECT_EQ(int{tracker.Visible()}, 9) << c.what;
  }
}

// Feeds `seconds` seconds of RMC, `per_second` sentences in each second,
// after one whole group and with the group again at the start of every
// `gsv_every`-th second (0: never again). Returns the fewest satellites
// tracked after any RMC.
int FewestTrackedOver(int seconds, int per_second, int gsv_every) {
  SatelliteTracker tracker;
  for (const std::string& gsv : {kFirst, kSecond, kThird}) Feed(tracker, gsv);
  int fewest = tracker.Tracked();
  for (int s = 0; s < seconds; ++s) {
    if (gsv_every > 0 && s > 0 && s % gsv_every == 0) {
      for (const std::string& gsv : {kFirst, kSecond, kThird}) Feed(tracker, gsv);
    }
    for (int k = 0; k < per_second; ++k) {
      char rmc[64];
      std::snprintf(rmc, sizeof rmc, "GPRMC,12%02d%02d.%d0,A,4807.038,N", s / 60, s % 60,
                    k * 10 / per_second);
      Feed(tracker, rmc);
      fewest = std::min<int>(fewest, tracker.Tracked());
    }
  }
  return fewest;
}

TEST(SatelliteTracker, CountsLastThirtySecondsOfReceiverTimeWhateverTheRmcRate) {
  struct Case {
    const char* what;
    int seconds;
    int per_second;
    int gsv_every;
    int fewest;
  };
  const Case cases[] = {
      {"10 Hz with GSV every 5 s", 120, 10, 5, 7},
      {"1 Hz, GSV gone for 30 s", 30, 1, 0, 7},
      {"1 Hz, GSV gone for 31 s", 31, 1, 0, 0},
      {"2 RMC a second, GSV gone for 31 s", 31, 2, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FewestTrackedOver(c.seconds, c.per_second, c.gsv_every), c.fewest) << c.what;
  }
}

// Feeds whole sentences as a receiver sends them ("$...*hh\r\n" or without
// the line end) and returns Tracked() after each RMC among them.
std::vector<int> TrackedAfterEachRmc(SatelliteTracker& tracker,
                                     const std::vector<std::string>& sentences) {
  std::vector<int> tracked;
  for (const std::string& sentence : sentences) {
    EXPECT_TRUE(orvik::testing::HasValidNmeaChecksum(sentence + "\r\n")) << sentence;
    const std::string fields = sentence.substr(6, sentence.find('*') - 6);
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(fields.data()),
                                              fields.size());
    const std::string type = sentence.substr(3, 3);
    const std::array<char, 2> talker = {sentence[1], sentence[2]};
    if (type == "GSV") tracker.OnGsv(talker, bytes);
    if (type == "GSA") tracker.OnGsa(talker, bytes);
    if (type == "RMC") {
      tracker.OnRmc(bytes);
      tracked.push_back(tracker.Tracked());
    }
  }
  return tracked;
}

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const std::vector<std::string>& part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

// One epoch of a receiver that names the signal after the satellite blocks:
// two signals for each of GPS, GLONASS, Galileo and BeiDou.
const std::vector<std::string> kGpsL1 = {  // 10 in view, 8 with a signal
    "$GPGSV,3,1,10,02,17,307,29,05,41,251,41,07,24,060,33,09,61,119,44,1*6F",
    "$GPGSV,3,2,10,13,40,175,38,15,05,038,,18,08,320,,20,48,213,40,1*6A",
    "$GPGSV,3,3,10,24,11,091,25,30,72,285,46,1*67"};
const std::vector<std::string> kGpsL5 = {  // 05, 09, 30 again; 18 only here
    "$GPGSV,2,1,05,05,41,251,43,09,61,119,45,24,11,091,,30,72,285,44,7*64",
    "$GPGSV,2,2,05,18,08,320,22,7*57"};
const std::vector<std::string> kGlonassL1 = {  // 6 in view: 65, 72, 73, 87
    "$GLGSV,2,1,06,65,22,045,35,66,15,110,,72,54,300,30,73,31,240,28,1*73",
    "$GLGSV,2,2,06,81,09,015,,87,40,170,25,1*70"};
const std::vector<std::string> kGlonassL2 = {  // 88 only here
    "$GLGSV,1,1,03,65,22,045,30,72,54,300,29,88,12,200,21,3*46"};
const std::vector<std::string> kGalileoE1 = {  // 7 in view: 04, 09, 19, 26, 33
    "$GAGSV,2,1,07,04,35,080,39,09,50,150,41,11,07,330,,19,28,210,36,7*79",
    "$GAGSV,2,2,07,26,44,020,33,31,03,120,,33,19,260,28,7*46"};
const std::vector<std::string> kGalileoE5a = {  // nothing new
    "$GAGSV,1,1,04,04,35,080,40,09,50,150,42,19,28,210,35,36,02,190,,1*79"};
const std::vector<std::string> kBeidouB1 = {  // 5 in view: 06, 14, 27, 39
    "$GBGSV,2,1,05,06,33,100,27,14,62,230,31,16,05,350,,27,45,140,29,1*7E",
    "$GBGSV,2,2,05,39,20,060,33,1*4D"};
const std::vector<std::string> kBeidouB2a = {  // 28 only here
    "$GBGSV,1,1,02,27,45,140,30,28,38,280,26,5*7D"};
// The same BeiDou satellites as kBeidouB1 from a talker "BD" without signals.
const std::vector<std::string> kBeidouOld = {
    "$BDGSV,2,1,05,06,33,100,27,14,62,230,31,16,05,350,,27,45,140,29*60",
    "$BDGSV,2,2,05,39,20,060,33*53"};
// The fix: 21 satellites in use, one GNGSA per system ID.
const std::vector<std::string> kFixGsa = {
    "$GNGSA,A,3,02,05,07,09,13,20,24,30,18,,,,1.2,0.7,1.0,1*31",
    "$GNGSA,A,3,65,72,73,87,,,,,,,,,1.2,0.7,1.0,2*3A",
    "$GNGSA,A,3,04,09,19,26,,,,,,,,,1.2,0.7,1.0,3*37",
    "$GNGSA,A,3,06,14,27,39,,,,,,,,,1.2,0.7,1.0,4*3D"};
const std::string kRmc59 = "$GNRMC,083559.00,A,5925.1234,N,02445.6789,E,0.012,,070625,,,A,V*1B";

TEST(SatelliteTracker, SatelliteOnSeveralSignalsOrTalkersCountsOnce) {
  struct Case {
    const char* what;
    std::vector<std::string> sentences;
    int tracked;
    int visible;
  };
  const Case cases[] = {
      {"GPS on L1 and L5", Join({kGpsL1, kGpsL5}), 9, 10},
      {"L5 complete, L1 lost a sentence", Join({{kGpsL1[0], kGpsL1[2]}, kGpsL5}), 4, 10},
      {"four constellations, two signals each",
       Join({kGpsL1, kGpsL5, kGlonassL1, kGlonassL2, kGalileoE1, kGalileoE5a, kBeidouB1,
             kBeidouB2a}),
       9 + 5 + 5 + 5, 10 + 6 + 7 + 5},
      {"the same with its fix of 21",
       Join({kGpsL1, kGpsL5, kGlonassL1, kGlonassL2, kGalileoE1, kGalileoE5a, kBeidouB1, kBeidouB2a,
             kFixGsa}),
       24, 28},
      {"BeiDou from GB and BD", Join({kBeidouB1, kBeidouOld, kBeidouB2a}), 5, 5},
  };
  for (const Case& c : cases) {
    SatelliteTracker tracker;
    std::vector<std::string> sentences = c.sentences;
    sentences.push_back(kRmc59);
    EXPECT_EQ(TrackedAfterEachRmc(tracker, sentences), std::vector<int>{c.tracked}) << c.what;
    EXPECT_EQ(int{tracker.Visible()}, c.visible) << c.what;
  }
}

TEST(SatelliteTracker, SatellitesInUseOfASecondRaiseTheTrackedCount) {
  // GPS with 2 of 6 satellites showing a signal; GSA lists 6 GPS and 3
  // GLONASS satellites in use.
  const std::vector<std::string> weak = {
      "$GPGSV,2,1,06,02,17,307,29,05,41,251,,07,24,060,,09,61,119,44*71",
      "$GPGSV,2,2,06,13,40,175,,20,48,213,*74"};
  const std::string gp_gsa = "$GPGSA,A,3,02,05,07,09,13,20,,,,,,,1.2,0.7,1.0*3E";
  const std::string gl_gsa = "$GLGSA,A,3,65,66,72,,,,,,,,,,1.2,0.7,1.0*2D";
  const std::string rmc59_5 = "$GNRMC,083559.50,A,5925.1234,N,02445.6789,E,0.012,,070625,,,A,V*1E";
  const std::string rmc60 = "$GNRMC,083600.00,A,5925.1234,N,02445.6789,E,0.012,,070625,,,A,V*14";
  const std::string rmc61 = "$GNRMC,083601.00,A,5925.1234,N,02445.6789,E,0.012,,070625,,,A,V*15";
  struct Case {
    const char* what;
    std::vector<std::string> sentences;
    std::vector<int> tracked;  // after each RMC
    int visible;               // after the last
  };
  const Case cases[] = {
      {"GSA before RMC; none in the next second",
       Join({weak, {gp_gsa, gl_gsa, kRmc59, rmc60}}),
       {9, 2},
       6},
      {"GSA after RMC counts from the next second on",
       Join({weak, {kRmc59, gp_gsa, gl_gsa, rmc59_5, rmc60, gp_gsa, rmc61}}),
       {2, 2, 9, 6},
       6},
      {"GPS by talker and by system ID, twice in a second; no GSV yet",
       {gp_gsa, kFixGsa[0], kFixGsa[0], kRmc59},
       {9},
       9},
      {"an empty GSV zeroes the GSA count", {gp_gsa, kRmc59, "$GPGSV,,,,*55", rmc59_5}, {6, 0}, 0},
  };
  for (const Case& c : cases) {
    SatelliteTracker tracker;
    EXPECT_EQ(TrackedAfterEachRmc(tracker, c.sentences), c.tracked) << c.what;
    EXPECT_EQ(int{tracker.Visible()}, c.visible) << c.what;
  }
}

}  // namespace
}  // namespace orvik::core

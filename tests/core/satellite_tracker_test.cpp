#include "core/satellite_tracker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

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
       {kFirst, kSecond, kThird, kFirst, "GPGSV,2,2,09,05,10,158,45,06,10,158,33"}, 7},
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

}  // namespace
}  // namespace orvik::core

#include "core/nmea_decoder.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "core/checksums.h"

namespace orvik::core {
namespace {

struct Decoder {
  Settings settings;
  std::int32_t summer_hours = 0;
  // What the clock pacer counts.
  std::uint32_t counter = kInitialMessageCounter;
  NmeaDecoder decoder;

  DecodedMessage Decode(const std::string& sentence) {
    // As the framer hands it over: from the address on, without "$".
    const std::vector<std::uint8_t> framed(sentence.begin() + 1, sentence.end());
    const DecodedMessage out = decoder.DecodeNmea(framed, settings, summer_hours, RolloverCheck{});
    if (out.counted) StepMessageCounter(counter);
    return out;
  }
};

const std::string kExample =
    "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";

std::string WithStatus(std::string sentence, char status) {
  sentence[14] = status;
  const std::string body = sentence.substr(1, sentence.find('*') - 1);
  return NmeaSentence(body);
}

TEST(DecodeNmea, WorkedExampleGivesLocalTimeTextsAndRecord) {
  Decoder d;
  const DecodedMessage out = d.Decode(kExample);
  ASSERT_TRUE(out.display.has_value());
  EXPECT_EQ(out.display->texts.TimeText, "14:35:19");
  EXPECT_EQ(out.display->texts.DateText, "23.3.2094");
  ASSERT_TRUE(out.time_message.has_value());
  const TimeMessage& m = *out.time_message;
  EXPECT_EQ(std::vector<int>(m.begin(), m.begin() + 7),
            (std::vector<int>{3, 23, 8, 46, 14, 35, 19}));
  for (std::size_t i = 7; i < 34; ++i) EXPECT_EQ(m[i], 0) << i;
  EXPECT_EQ(m[36], 251);
  EXPECT_EQ(m[37], 252);
  EXPECT_EQ(m[38], 253);
  // A valid fix is offered to the clock decision with its UTC and local time.
  ASSERT_TRUE(out.clock.has_value());
  EXPECT_EQ(out.clock->Local(), (DateTime{2094, 3, 2, 23, 14, 35, 19, 0}));
  EXPECT_EQ(out.clock->message_utc, UtcNanosOf(DateTime{2094, 3, 2, 23, 12, 35, 19, 0}));
  EXPECT_EQ(out.clock->local_offset_minutes, 120);
}

TEST(DecodeNmea, ChecksumMustMatchInUpperCaseHex) {
  struct Case {
    std::string sentence;
    bool accepted;
  };
  std::string lower = kExample;
  lower.replace(lower.find("*6A"), 3, "*6a");
  std::string wrong = kExample;
  wrong.replace(wrong.find("*6A"), 3, "*6B");
  std::string letter = kExample;
  letter.replace(letter.find("*6A"), 3, "*G0");
  for (const Case& c :
       {Case{kExample, true}, Case{lower, false}, Case{wrong, false}, Case{letter, false}}) {
    Decoder d;
    const DecodedMessage out = d.Decode(c.sentence);
    ASSERT_TRUE(out.display.has_value()) << c.sentence;
    EXPECT_EQ(out.display->accepted, c.accepted) << c.sentence;
    if (!c.accepted) {
      EXPECT_EQ(out.display->texts.TimeText, "--------");
      EXPECT_EQ(out.display->texts.DateText, "--------");
      EXPECT_EQ(out.display->texts.SatText, "--------");
      EXPECT_FALSE(out.time_message.has_value());
      EXPECT_FALSE(out.clock.has_value());
      EXPECT_EQ(d.counter, kInitialMessageCounter);  // not counted
    }
  }
}

TEST(DecodeNmea, CarriesAcrossNewYearWithTheOffset) {
  Decoder d;
  const DecodedMessage out =
      d.Decode("$GPRMC,235959,A,5925.000,N,02445.000,E,000.0,000.0,311226,,*15\r\n");
  ASSERT_TRUE(out.display.has_value());
  EXPECT_EQ(out.display->texts.TimeText, "1:59:59");
  EXPECT_EQ(out.display->texts.DateText, "1.1.2027");
}

TEST(DecodeNmea, OffsetsCombineHoursSummerHoursAndMinutes) {
  struct Case {
    int gmt_hours, gmt_minutes, summer;
    const char* time;
    const char* date;
  };
  const Case cases[] = {
      {5, 30, 0, "16:15:0", "1.6.2026"},    // half-hour zone east
      {-3, -30, 0, "7:15:0", "1.6.2026"},   // half-hour zone west
      {-11, 0, 0, "23:45:0", "31.5.2026"},  // back into the previous month
      {2, 0, 1, "13:45:0", "1.6.2026"},     // summer hour added
  };
  for (const Case& c : cases) {
    Decoder d;
    d.settings.GmtHours = c.gmt_hours;
    d.settings.GmtMinutes = c.gmt_minutes;
    d.summer_hours = c.summer;
    const DecodedMessage out = d.Decode(NmeaSentence("GPRMC,104500,A,1,N,1,E,0,0,010626,,"));
    ASSERT_TRUE(out.display.has_value());
    EXPECT_EQ(out.display->texts.TimeText, c.time) << c.gmt_hours << ":" << c.gmt_minutes;
    EXPECT_EQ(out.display->texts.DateText, c.date) << c.gmt_hours << ":" << c.gmt_minutes;
  }
}

TEST(DecodeNmea, InvalidFixIsSentAndShownButNeverSetsTheClock) {
  Decoder d;
  const DecodedMessage out = d.Decode(WithStatus(kExample, 'V'));
  ASSERT_TRUE(out.display.has_value());
  EXPECT_EQ(out.display->texts.TimeText, "?14:35:19?");
  ASSERT_TRUE(out.time_message.has_value());
  EXPECT_EQ((*out.time_message)[35], 0);
  EXPECT_FALSE(out.clock.has_value());
  EXPECT_EQ(d.counter, kInitialMessageCounter + 1);  // counted all the same
}

TEST(DecodeNmea, SentencesThatAreNoRealDateOrTimeAreCountedButNotUsed) {
  const std::vector<std::string> bodies = {
      "GPRMC,,A,1,N,1,E,0,0,010626,,",        // empty time
      "GPRMC,1a4500,A,1,N,1,E,0,0,010626,,",  // letter in the time
      "GPRMC,104560,A,1,N,1,E,0,0,010626,,",  // second 60
      "GPRMC,244500,A,1,N,1,E,0,0,010626,,",  // hour 24
      "GPRMC,104500,A,1,N,1,E,0,0,011326,,",  // month 13
      "GPRMC,104500,A,1,N,1,E,0,0,310426,,",  // 31 April
      "GPRMC,104500,A,1,N,1,E,0,0,290226,,",  // 29 February 2026
      "GPRMC,104500,A,1,N,1,E,0,0,,,",        // empty date
      "GPRMC,104500,A,1,N,1,E,0,0",           // no ninth comma
      "GPRMC,104500",                         // no status
  };
  for (const std::string& body : bodies) {
    Decoder d;
    const DecodedMessage out = d.Decode(NmeaSentence(body));
    EXPECT_FALSE(out.display.has_value()) << body;
    EXPECT_FALSE(out.time_message.has_value()) << body;
    EXPECT_FALSE(out.clock.has_value()) << body;
    EXPECT_EQ(d.counter, kInitialMessageCounter + 1) << body;
  }
}

TEST(DecodeNmea, AcceptsEveryTalkerButNotProprietarySentences) {
  struct Case {
    const char* address;
    bool time_message;
  };
  for (const Case& c :
       {Case{"GPRMC", true}, Case{"GNRMC", true}, Case{"GLRMC", true}, Case{"BDRMC", true},
        Case{"PGRMC", false}, Case{"GPGGA", false}, Case{"GPRMB", false}}) {
    Decoder d;
    const DecodedMessage out =
        d.Decode(NmeaSentence(std::string(c.address) + ",104500,A,1,N,1,E,0,0,010626,,"));
    EXPECT_EQ(out.time_message.has_value(), c.time_message) << c.address;
  }
}

TEST(DecodeNmea, SatelliteCountsComeFromGsvOfEveryConstellation) {
  Decoder d;
  // GPS: 11 in view, two of four with a signal in the first sentence, one
  // more in the second; GLONASS: 5 in view, one with a signal.
  d.Decode(NmeaSentence("GPGSV,2,1,11,03,03,111,40,04,15,270,00,06,01,010,33,13,06,292,"));
  d.Decode(NmeaSentence("GPGSV,2,2,11,14,30,119,48"));
  d.Decode(NmeaSentence("GLGSV,1,1,05,65,10,158,45"));
  const DecodedMessage out = d.Decode(kExample);
  ASSERT_TRUE(out.display.has_value());
  EXPECT_EQ(out.display->texts.SatText, "4 / 16");
  EXPECT_FALSE(out.display->NoSatFlag);
  ASSERT_TRUE(out.time_message.has_value());
  EXPECT_EQ((*out.time_message)[34], 16);
  EXPECT_EQ((*out.time_message)[35], 4);
}

TEST(DecodeNmea, SatellitesInUseFromGsaOfAnyTalkerCountAsTracked) {
  Decoder d;
  d.Decode(NmeaSentence("GPGSV,1,1,04,03,03,111,40,04,15,270,,06,01,010,,13,06,292,"));
  d.Decode(NmeaSentence("GNGSA,A,3,03,04,06,,,,,,,,,,2.0,1.1,1.6,1"));
  const DecodedMessage out = d.Decode(kExample);
  ASSERT_TRUE(out.display.has_value());
  EXPECT_EQ(out.display->texts.SatText, "3 / 4");
  EXPECT_EQ((*out.time_message)[35], 3);
}

TEST(DecodeNmea, WorkedGsvExampleGivesElevenInViewAndNoneTracked) {
  Decoder d;
  d.Decode("$GPGSV,3,1,11,03,03,111,00,04,15,270,00,06,01,010,00,13,06,292,00*74\r\n");
  const DecodedMessage out = d.Decode(kExample);
  ASSERT_TRUE(out.display.has_value());
  EXPECT_EQ(out.display->texts.SatText, "0 / 11");
  EXPECT_TRUE(out.display->NoSatFlag);
  EXPECT_EQ((*out.time_message)[34], 11);
}

TEST(DecodeNmea, GsvWithAnEmptyFirstFieldZeroesBothCounts) {
  Decoder d;
  d.Decode(NmeaSentence("GPGSV,1,1,04,03,03,111,40,04,15,270,41"));
  d.Decode(NmeaSentence("GPGSV,,,,"));
  const DecodedMessage out = d.Decode(kExample);
  EXPECT_EQ(out.display->texts.SatText, "0 / 0");
  EXPECT_TRUE(out.display->NoSatFlag);
}

TEST(DecodeNmea, SatelliteCountsAgeByTheReceiversSecondsNotItsSentences) {
  // One GSV group, then 10 RMC a second: the counts hold for 30 seconds.
  Decoder d;
  d.Decode(NmeaSentence("GPGSV,1,1,04,03,03,111,40,04,15,270,41"));
  for (int n = 0; n < 310; ++n) {
    char body[96];
    std::snprintf(body, sizeof body,
                  "GPRMC,1235%02d.%d0,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W", n / 10,
                  n % 10);
    const DecodedMessage out = d.Decode(NmeaSentence(body));
    ASSERT_TRUE(out.display.has_value());
    ASSERT_EQ(out.display->texts.SatText, n < 300 ? "2 / 4" : "0 / 0") << "RMC " << n;
  }
}

TEST(DecodeNmea, OtherSentenceTypesChangeNothing) {
  Decoder d;
  for (const char* body : {"GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,",
                           "GPGSA,A,3,04,05,,09,12,,,24,,,,,2.5,1.3,2.1"}) {
    const DecodedMessage out = d.Decode(NmeaSentence(body));
    EXPECT_FALSE(out.display.has_value());
    EXPECT_FALSE(out.time_message.has_value());
  }
  EXPECT_EQ(d.counter, kInitialMessageCounter);
}

TEST(DecodeNmea, OneRecordAndOneCountPerInstantWhateverTheTalker) {
  Decoder d;
  d.counter = 0;
  struct Step {
    const char* body;
    bool sent;
  };
  const Step steps[] = {
      {"GPRMC,104500.000,A,1,N,1,E,0,0,010626,,", true},
      {"GNRMC,104500.000,A,1,N,1,E,0,0,010626,,", false},  // same instant, other talker
      {"GPRMC,104500,A,1,N,1,E,0,0,010626,,", false},      // same instant, no fraction
      {"GPRMC,104500.200,A,1,N,1,E,0,0,010626,,", true},   // 5 Hz: the next fix
      {"GNRMC,104501,A,1,N,1,E,0,0,010626,,", true},
      {"GPRMC,,V,,,,,,,,,", false},  // no time: counted, never sent
      {"GPRMC,,V,,,,,,,,,", false},
  };
  std::uint32_t counted = 0;
  for (const Step& step : steps) {
    const std::uint32_t before = d.counter;
    const DecodedMessage out = d.Decode(NmeaSentence(step.body));
    EXPECT_EQ(out.time_message.has_value(), step.sent) << step.body;
    counted += d.counter != before ? 1 : 0;
  }
  EXPECT_EQ(counted, 3u + 2u);
  // The fraction is part of the instant offered to the clock.
  EXPECT_EQ(d.Decode(NmeaSentence("GPRMC,104502.250,A,1,N,1,E,0,0,010626,,")).clock->message_utc,
            UtcNanosOf(DateTime{2026, 6, 1, 1, 10, 45, 2, 250}));
}

TEST(DecodeNmea, OffsetsThatLeaveTheYearsOneToNineThousandAreNeitherSentNorShown) {
  struct Case {
    std::int32_t hours, minutes;
    bool sent;
  };
  // 2^31 - 1 minutes is 4083 years: still a date, though never one the clock is set to.
  for (const Case c :
       {Case{2, 2147483647, true}, Case{-2147483647 - 1, 0, false}, Case{2147483647, 0, false},
        Case{0, -2147483647 - 1, false}, Case{24 * 365 * 7900, 0, true}, Case{14, 0, true}}) {
    Decoder d;
    d.settings.GmtHours = c.hours;
    d.settings.GmtMinutes = c.minutes;
    const DecodedMessage out = d.Decode(kExample);
    EXPECT_EQ(out.time_message.has_value(), c.sent) << c.hours << " h " << c.minutes << " min";
    EXPECT_EQ(out.display.has_value(), c.sent) << c.hours << " h " << c.minutes << " min";
    EXPECT_EQ(d.counter, kInitialMessageCounter + 1);
    EXPECT_EQ(out.clock.has_value(), c.sent);
  }
}

TEST(DecodeNmea, RandomBytesNeverCrashOrSetTheClock) {
  const char* seed_text = std::getenv("ORVIK_TEST_SEED");
  const unsigned seed = seed_text ? static_cast<unsigned>(std::strtoul(seed_text, nullptr, 10))
                                  : std::random_device{}();
  SCOPED_TRACE("ORVIK_TEST_SEED=" + std::to_string(seed));
  std::mt19937 random(seed);
  Decoder d;
  for (int round = 0; round < 20000; ++round) {
    const char* addresses[] = {"GPRMC", "GNGSV", "GPGSV", "XXRMC"};
    const char* address = addresses[random() % 4];
    std::vector<std::uint8_t> framed(address, address + 5);
    const std::size_t length = 5 + random() % 254;
    for (std::size_t i = 0; i < length; ++i) {
      framed.push_back(static_cast<std::uint8_t>(random() % 4 ? ",0123456789A*"[random() % 13]
                                                              : random() % 256));
    }
    const DecodedMessage out = d.decoder.DecodeNmea(framed, d.settings, 0, RolloverCheck{});
    // Whatever is offered to the clock must be a real date and time.
    if (out.clock) {
      EXPECT_GE(out.clock->Local().month, 1);
      EXPECT_LE(out.clock->Local().month, 12);
      EXPECT_LE(out.clock->Local().second, 59);
    }
  }
}

}  // namespace
}  // namespace orvik::core

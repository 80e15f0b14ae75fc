#include "core/receiver_commands.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace orvik::core {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Settings With(std::int32_t protocol, std::int32_t gmt_hours = 2, std::int32_t gmt_minutes = 0,
              std::uint16_t interval = 1) {
  Settings settings;
  settings.Protocol = protocol;
  settings.GmtHours = gmt_hours;
  settings.GmtMinutes = gmt_minutes;
  settings.TransmitInterval = interval;
  return settings;
}

constexpr DateTime kDecember7th{2026, 12, 1, 7, 13, 5, 0, 0};

TEST(GmtOffsetFieldsFor, SignFollowsGmtHoursAloneAndSummerAddsAnHour) {
  struct Case {
    std::int32_t hours, minutes;
    bool summer;
    GmtOffsetFields expected;
  };
  const Case cases[] = {
      {2, 0, false, {0, 2, 0}},
      {2, 0, true, {0, 3, 0}},
      {-5, 0, true, {255, 4, 0}},
      {-5, 0, false, {255, 5, 0}},
      {-1, 0, true, {255, 0, 0}},
      {-1, 0, false, {255, 1, 0}},
      {0, -30, false, {0, 0, 30}},
      {0, -30, true, {0, 1, 30}},
      {5, 30, false, {0, 5, 30}},
      {-3, -30, true, {255, 2, 30}},
      {0, 0, false, {0, 0, 0}},
      {254, 255, true, {0, 255, 255}},
      {-256, -255, true, {255, 255, 255}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.hours) + "h " + std::to_string(c.minutes) + "m summer " +
                 std::to_string(c.summer));
    const Result<GmtOffsetFields> fields =
        GmtOffsetFieldsFor(With(kProtocolMotorolaOncore, c.hours, c.minutes), c.summer);
    ASSERT_TRUE(fields.ok()) << fields.status().ToString();
    EXPECT_EQ(fields.value(), c.expected);
  }
}

TEST(GmtOffsetFieldsFor, RefusesHoursOrMinutesBeyondOneByte) {
  struct Case {
    std::int32_t hours, minutes;
    bool summer;
    const char* message;
  };
  const Case cases[] = {
      {255, 0, true, "The receiver cannot take a GMT offset of 256 hours (0 to 255)."},
      {-256, 0, false, "The receiver cannot take a GMT offset of 256 hours (0 to 255)."},
      {INT32_MAX, 0, true, "The receiver cannot take a GMT offset of 2147483648 hours (0 to 255)."},
      {INT32_MIN, 0, false,
       "The receiver cannot take a GMT offset of 2147483648 hours (0 to 255)."},
      {2, 256, false, "The receiver cannot take a GMT offset of 256 minutes (0 to 255)."},
      {2, -300, false, "The receiver cannot take a GMT offset of 300 minutes (0 to 255)."},
  };
  for (const Case& c : cases) {
    const Result<GmtOffsetFields> fields =
        GmtOffsetFieldsFor(With(kProtocolMotorolaM12, c.hours, c.minutes), c.summer);
    ASSERT_FALSE(fields.ok()) << c.message;
    EXPECT_EQ(fields.status().code(), StatusCode::kInvalidArgument);
    EXPECT_EQ(fields.status().message(), c.message);
  }
}

TEST(ComposeGmtOffsetCommand, WritesEachProtocolsCommandByteForByte) {
  struct Case {
    const char* name;
    Settings settings;
    bool summer;
    DateTime pc_now;
    Bytes expected;
  };
  const Case cases[] = {
      {"Oncore, zone time",
       With(kProtocolMotorolaOncore),
       false,
       kDecember7th,
       {64, 64, 65, 98, 0, 2, 0, 33, 13, 10}},
      {"Oncore, summer time",
       With(kProtocolMotorolaOncore),
       true,
       kDecember7th,
       {64, 64, 65, 98, 0, 3, 0, 32, 13, 10}},
      {"Oncore, -5 in summer",
       With(kProtocolMotorolaOncore, -5),
       true,
       kDecember7th,
       {64, 64, 65, 98, 255, 4, 0, 216, 13, 10}},
      {"Oncore, -1 in summer",
       With(kProtocolMotorolaOncore, -1),
       true,
       kDecember7th,
       {64, 64, 65, 98, 255, 0, 0, 220, 13, 10}},
      {"Oncore, 0 and -30 minutes",
       With(kProtocolMotorolaOncore, 0, -30),
       false,
       kDecember7th,
       {64, 64, 65, 98, 0, 0, 30, 61, 13, 10}},
      {"Oncore, +5:30",
       With(kProtocolMotorolaOncore, 5, 30),
       false,
       kDecember7th,
       {64, 64, 65, 98, 0, 5, 30, 56, 13, 10}},
      {"M12 on 7.12.2026 13:05:00",
       With(kProtocolMotorolaM12),
       false,
       kDecember7th,
       {64, 64, 71, 98, 12, 7, 7, 234, 13, 5, 0, 0, 2, 0, 201, 13, 10}},
      {"M12 in summer",
       With(kProtocolMotorolaM12),
       true,
       kDecember7th,
       {64, 64, 71, 98, 12, 7, 7, 234, 13, 5, 0, 0, 3, 0, 200, 13, 10}},
      {"M12, -5:30 on a leap day",
       With(kProtocolMotorolaM12, -5, -30),
       false,
       DateTime{2024, 2, 4, 29, 23, 59, 59, 999},
       {64, 64, 71, 98, 2, 29, 7, 232, 23, 59, 59, 255, 5, 30, 38, 13, 10}},
      {"NMEA 4800: nothing to send", With(kProtocolNmea4800), true, kDecember7th, {}},
      {"NMEA 9600: nothing to send", With(kProtocolNmea9600), false, kDecember7th, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Result<Bytes> command = ComposeGmtOffsetCommand(c.settings, c.summer, c.pc_now);
    ASSERT_TRUE(command.ok()) << command.status().ToString();
    EXPECT_EQ(command.value(), c.expected);
  }
}

TEST(ComposeGmtOffsetCommand, ComposesNothingWhenAFieldDoesNotFit) {
  for (const std::int32_t protocol : {kProtocolMotorolaM12, kProtocolMotorolaOncore}) {
    const Result<Bytes> hours = ComposeGmtOffsetCommand(With(protocol, 300), false, kDecember7th);
    ASSERT_FALSE(hours.ok());
    EXPECT_EQ(hours.status().code(), StatusCode::kInvalidArgument);
    EXPECT_EQ(hours.status().message(),
              "The receiver cannot take a GMT offset of 300 hours (0 to 255).");
    EXPECT_FALSE(ComposeGmtOffsetCommand(With(protocol, 2, -256), true, kDecember7th).ok());
  }
  DateTime no_clock_reading = kDecember7th;
  no_clock_reading.day = 300;
  EXPECT_FALSE(ComposeGmtOffsetCommand(With(kProtocolMotorolaM12), false, no_clock_reading).ok());
  // The NMEA protocols send nothing, so there is nothing to refuse.
  EXPECT_TRUE(ComposeGmtOffsetCommand(With(kProtocolNmea4800, 300), false, kDecember7th).ok());
}

TEST(ComposeIntervalCommand, WritesEachProtocolsCommandByteForByte) {
  struct Case {
    std::int32_t protocol;
    std::uint16_t interval;
    Bytes expected;
  };
  const Case cases[] = {
      {kProtocolNmea4800, 1, Text("$PGRMC1,1,,,,,,,,,,,,,*4B\r\n")},
      {kProtocolNmea9600, 5, Text("$PGRMC1,5,,,,,,,,,,,,,*4F\r\n")},
      {kProtocolNmea4800, 10, Text("$PGRMC1,10,,,,,,,,,,,,,*7B\r\n")},
      {kProtocolNmea4800, 900, Text("$PGRMC1,900,,,,,,,,,,,,,*43\r\n")},
      {kProtocolMotorolaM12, 1, {64, 64, 72, 98, 1, 43, 13, 10}},
      {kProtocolMotorolaM12, 0, {64, 64, 72, 98, 0, 42, 13, 10}},
      {kProtocolMotorolaM12, 5, {64, 64, 72, 98, 5, 47, 13, 10}},
      {kProtocolMotorolaM12, 10, {64, 64, 72, 98, 10, 32, 13, 10}},
      {kProtocolMotorolaM12, 255, {64, 64, 72, 98, 255, 213, 13, 10}},
      {kProtocolMotorolaOncore, 1, {64, 64, 69, 97, 1, 37, 13, 10}},
      {kProtocolMotorolaOncore, 0, {64, 64, 69, 97, 0, 36, 13, 10}},
      {kProtocolMotorolaOncore, 5, {64, 64, 69, 97, 5, 33, 13, 10}},
      {kProtocolMotorolaOncore, 10, {64, 64, 69, 97, 10, 46, 13, 10}},
      {kProtocolMotorolaOncore, 255, {64, 64, 69, 97, 255, 219, 13, 10}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("protocol " + std::to_string(c.protocol) + ", interval " +
                 std::to_string(c.interval));
    const Result<Bytes> command = ComposeIntervalCommand(With(c.protocol, 2, 0, c.interval));
    ASSERT_TRUE(command.ok()) << command.status().ToString();
    EXPECT_EQ(command.value(), c.expected);
  }
}

TEST(ComposeIntervalCommand, NmeaSentenceCarriesEveryDigitUnderItsChecksum) {
  for (std::uint16_t interval = 1; interval <= 900; ++interval) {
    const Result<Bytes> command = ComposeIntervalCommand(With(kProtocolNmea4800, 2, 0, interval));
    ASSERT_TRUE(command.ok()) << interval;
    const std::string sentence(command.value().begin(), command.value().end());
    const std::string body = "PGRMC1," + std::to_string(interval) + std::string(13, ',');
    std::uint8_t sum = 0;
    for (const char c : body) sum ^= static_cast<std::uint8_t>(c);
    char tail[8];
    std::snprintf(tail, sizeof tail, "*%02X\r\n", sum);
    ASSERT_EQ(sentence, "$" + body + tail) << interval;
  }
}

TEST(ComposeIntervalCommand, RefusesIntervalsTheCommandCannotCarry) {
  struct Case {
    std::int32_t protocol;
    std::uint16_t interval;
    const char* message;
  };
  const Case cases[] = {
      {kProtocolNmea4800, 0,
       "The receiver cannot take a transmission interval of 0 seconds (1 to 900)."},
      {kProtocolNmea9600, 901,
       "The receiver cannot take a transmission interval of 901 seconds (1 to 900)."},
      {kProtocolNmea4800, 1000,
       "The receiver cannot take a transmission interval of 1000 seconds (1 to 900)."},
      {kProtocolMotorolaM12, 256,
       "The receiver cannot take a transmission interval of 256 seconds (0 to 255)."},
      {kProtocolMotorolaOncore, 256,
       "The receiver cannot take a transmission interval of 256 seconds (0 to 255)."},
      {kProtocolMotorolaM12, 900,
       "The receiver cannot take a transmission interval of 900 seconds (0 to 255)."},
      {kProtocolMotorolaOncore, 65535,
       "The receiver cannot take a transmission interval of 65535 seconds (0 to 255)."},
  };
  for (const Case& c : cases) {
    const Result<Bytes> command = ComposeIntervalCommand(With(c.protocol, 2, 0, c.interval));
    ASSERT_FALSE(command.ok()) << c.message;
    EXPECT_EQ(command.status().code(), StatusCode::kInvalidArgument);
    EXPECT_EQ(command.status().message(), c.message);
  }
}

}  // namespace
}  // namespace orvik::core

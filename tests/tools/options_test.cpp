#include "gpstime_sim/options.h"

#include <gtest/gtest.h>

#include <string_view>
#include <vector>

namespace orvik::tools {
namespace {

core::Result<SimOptions> Parse(std::vector<std::string_view> args) { return ParseOptions(args); }

TEST(SimOptions, DefaultsAreNmeaOnCom2EverySecond) {
  const auto parsed = Parse({});
  ASSERT_TRUE(parsed.ok());
  const SimOptions& o = parsed.value();
  EXPECT_EQ(o.dir, ".");
  EXPECT_EQ(o.port, 2);
  EXPECT_EQ(o.protocol, SimProtocol::kNmea);
  EXPECT_EQ(o.interval_ms, 1000);
  EXPECT_EQ(o.baud, 4800);
  EXPECT_FALSE(o.start.has_value());
  EXPECT_FALSE(o.count.has_value());
  EXPECT_TRUE(o.fix_valid);
  EXPECT_EQ(o.pace, Pace::kSentence);
  EXPECT_FALSE(o.quiet);
}

TEST(SimOptions, ProtocolChoosesMessageAndBaudUnlessGiven) {
  const struct {
    std::vector<std::string_view> args;
    MotorolaMessage message;
    int baud;
  } cases[] = {
      {{"--protocol", "nmea9600"}, MotorolaMessage::kHb, 9600},
      {{"--protocol", "m12"}, MotorolaMessage::kHb, 9600},
      {{"--protocol", "oncore"}, MotorolaMessage::kEa, 9600},
      {{"--message", "hb", "--protocol", "oncore"}, MotorolaMessage::kHb, 9600},
      {{"--protocol=m12", "--message=ea", "--baud=19200"}, MotorolaMessage::kEa, 19200},
      {{"--baud", "2400", "--protocol", "oncore"}, MotorolaMessage::kEa, 2400},
  };
  for (const auto& c : cases) {
    const auto parsed = Parse(c.args);
    ASSERT_TRUE(parsed.ok()) << parsed.status().ToString();
    EXPECT_EQ(parsed.value().message, c.message) << c.args[0];
    EXPECT_EQ(parsed.value().baud, c.baud) << c.args[0];
  }
}

TEST(SimOptions, ReadsValues) {
  const auto parsed = Parse({"--dir",
                             "/tmp/x",
                             "--port",
                             "7",
                             "--interval",
                             "0.2",
                             "--start",
                             "2024-02-29 23:59:59",
                             "--status",
                             "V",
                             "--visible",
                             "12",
                             "--tracked",
                             "0",
                             "--replay",
                             "cap.nmea",
                             "--pace",
                             "bytes",
                             "--per-sentence-ms",
                             "50",
                             "--count",
                             "3",
                             "--duration",
                             "2.5",
                             "--fraction",
                             "0",
                             "--start-delay",
                             "3",
                             "--quiet"});
  ASSERT_TRUE(parsed.ok()) << parsed.status().ToString();
  const SimOptions& o = parsed.value();
  EXPECT_EQ(o.dir, "/tmp/x");
  EXPECT_EQ(o.port, 7);
  EXPECT_EQ(o.interval_ms, 200);
  EXPECT_EQ(o.start, ParseStartTime("2024-02-29 23:59:59"));
  EXPECT_FALSE(o.fix_valid);
  EXPECT_EQ(o.visible, 12);
  EXPECT_EQ(o.tracked, 0);
  EXPECT_EQ(o.replay_file, "cap.nmea");
  EXPECT_EQ(o.pace, Pace::kBytes);
  EXPECT_EQ(o.per_sentence_ms, 50);
  EXPECT_EQ(o.count, 3);
  EXPECT_EQ(o.duration_ms, 2500);
  EXPECT_EQ(o.fraction_digits, 0);
  EXPECT_EQ(o.start_delay_ms, 3000);
  EXPECT_TRUE(o.quiet);
}

TEST(SimOptions, RefusesBadValuesWithTheOptionNamed) {
  const std::vector<std::vector<std::string_view>> bad = {
      {"--interval", "0"},
      {"--interval", "abc"},
      {"--interval", "-1"},
      {"--interval", "0.0001"},
      {"--interval", "1e3"},
      {"--interval", ""},
      {"--interval", "3601"},
      {"--port", "256"},
      {"--port", "x"},
      {"--protocol", "binary"},
      {"--message", "Hb"},
      {"--status", "a"},
      {"--visible", "33"},
      {"--tracked", "-1"},
      {"--count", "0"},
      {"--start", "2026-02-30 00:00:00"},
      {"--start", "2026-01-01T00:00:00"},
      {"--start", "2026-01-01 24:00:00"},
      {"--pace", "fast"},
      {"--fraction", "4"},
      {"--baud", "0"},
      {"--dir", ""},
      {"--delay-ms", "1000"},
      {"--delay-ms", "-1"},
      {"--delay-ms", "0.5"},
      {"--jitter-ms", "501"},
      {"--jitter-ms", "-1"},
      {"--seed", "-1"},
      {"--seed", "7x"},
  };
  for (const auto& args : bad) {
    const auto parsed = Parse(args);
    ASSERT_FALSE(parsed.ok()) << args[0] << " " << args[1];
    EXPECT_NE(parsed.status().message().find(args[0]), std::string::npos)
        << parsed.status().message();
  }
}

TEST(SimOptions, RefusesMalformedCommandLines) {
  EXPECT_FALSE(Parse({"--bogus"}).ok());
  EXPECT_FALSE(Parse({"--count"}).ok());                           // value missing
  EXPECT_FALSE(Parse({"--visible", "4", "--tracked", "5"}).ok());  // more tracked than visible
  EXPECT_TRUE(Parse({"--help"}).value().help);
  EXPECT_TRUE(Parse({"--version"}).value().version);
  EXPECT_FALSE(Parse({"--replay", "cap.nmea", "--delay-ms", "5"}).ok());  // live messages only
  EXPECT_FALSE(Parse({"--replay", "cap.nmea", "--jitter-ms", "5"}).ok());
  EXPECT_FALSE(Parse({"--replay", "cap.nmea", "--log-writes", "w.log"}).ok());
  EXPECT_FALSE(Parse({"--log-writes", ""}).ok());
  // The damage goes to the group's first sentence, which must be the RMC.
  EXPECT_FALSE(Parse({"--rmc-last", "--corrupt", "checksum"}).ok());
}

TEST(SimOptions, RmcLastWriteLogAndWholeLinesAreOffUnlessAsked) {
  EXPECT_FALSE(Parse({}).value().rmc_last);
  EXPECT_TRUE(Parse({}).value().write_log.empty());
  const auto parsed = Parse({"--rmc-last", "--log-writes=/tmp/w.log", "--pace", "lines"});
  ASSERT_TRUE(parsed.ok()) << parsed.status().ToString();
  EXPECT_TRUE(parsed.value().rmc_last);
  EXPECT_EQ(parsed.value().write_log, "/tmp/w.log");
  EXPECT_EQ(parsed.value().pace, Pace::kLines);
}

TEST(SimOptions, ReceiverDelayIsWholeMilliseconds) {
  EXPECT_EQ(Parse({}).value().receiver_delay_ms, 0);
  EXPECT_EQ(Parse({"--delay-ms", "250"}).value().receiver_delay_ms, 250);
  EXPECT_EQ(Parse({"--delay-ms=999"}).value().receiver_delay_ms, 999);
}

// Delay and jitter together keep each message's output within its second.
TEST(SimOptions, JitterSeedAndIgnoringOffsetsAreReadAndJitterFitsTheDelay) {
  const SimOptions defaults = Parse({}).value();
  EXPECT_EQ(defaults.jitter_ms, 0);
  EXPECT_FALSE(defaults.seed.has_value());
  EXPECT_FALSE(defaults.ignore_offset_command);
  const auto parsed =
      Parse({"--jitter-ms", "500", "--delay-ms", "499", "--seed=42", "--ignore-offset-command"});
  ASSERT_TRUE(parsed.ok()) << parsed.status().ToString();
  EXPECT_EQ(parsed.value().jitter_ms, 500);
  EXPECT_EQ(parsed.value().seed, 42u);
  EXPECT_TRUE(parsed.value().ignore_offset_command);
  const auto too_late = Parse({"--jitter-ms", "500", "--delay-ms", "500"});
  ASSERT_FALSE(too_late.ok());
  EXPECT_NE(too_late.status().message().find("--jitter-ms"), std::string::npos);
}

TEST(SimOptions, HelpNamesEveryOption) {
  const std::string help = HelpText();
  for (const char* option : {"--dir",
                             "--port",
                             "--protocol",
                             "--message",
                             "--interval",
                             "--start",
                             "--status",
                             "--visible",
                             "--tracked",
                             "--fraction",
                             "--replay",
                             "--pace",
                             "--per-sentence-ms",
                             "--count",
                             "--duration",
                             "--start-delay",
                             "--delay-ms",
                             "--baud",
                             "--quiet",
                             "--help",
                             "--version",
                             "--rmc-last",
                             "--log-writes",
                             "--jitter-ms",
                             "--seed",
                             "--ignore-offset-command"}) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace orvik::tools

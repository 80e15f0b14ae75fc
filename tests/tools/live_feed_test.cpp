#include "gpstime_sim/live_feed.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/nmea_text.h"

namespace orvik::tools {
namespace {

using Bytes = std::vector<std::uint8_t>;

ReceiverCommand Command(CommandKind kind, int interval, int offset_minutes = 0,
                        bool checksum_ok = true) {
  ReceiverCommand command;
  command.kind = kind;
  command.interval = interval;
  command.offset_minutes = offset_minutes;
  command.checksum_ok = checksum_ok;
  command.terminator_ok = true;
  return command;
}

ReceiverState Nmea() { return ReceiverState{}; }

ReceiverState Motorola() {
  ReceiverState state;
  state.nmea = false;
  state.message = MotorolaMessage::kHb;
  return state;
}

ReceiverState MotorolaIgnoringOffsets() {
  ReceiverState state = Motorola();
  state.ignores_offset_commands = true;
  return state;
}

TEST(LiveFeedObey, FollowsCommandsMeantForTheReceiverKind) {
  const struct {
    std::string legend;
    ReceiverState before;
    ReceiverCommand command;
    std::int64_t interval_ms;
    MotorolaMessage message;
    bool polled_once;
    int offset_minutes;
    std::string note_starts;
    std::vector<CommandKind> answers_due = {};
  } cases[] = {
      {"nmea interval", Nmea(), Command(CommandKind::kNmeaInterval, 5), 5000, MotorolaMessage::kHb,
       false, 0, "  obeyed"},
      {"nmea interval 0", Nmea(), Command(CommandKind::kNmeaInterval, 0), 1000,
       MotorolaMessage::kHb, false, 0, "  ignored"},
      {"nmea interval not a number", Nmea(), Command(CommandKind::kNmeaInterval, -1), 1000,
       MotorolaMessage::kHb, false, 0, "  ignored"},
      {"motorola command to nmea", Nmea(), Command(CommandKind::kIntervalEa, 2), 1000,
       MotorolaMessage::kHb, false, 0, "  ignored"},
      {"nmea command to motorola", Motorola(), Command(CommandKind::kNmeaInterval, 2), 1000,
       MotorolaMessage::kHb, false, 0, "  ignored"},
      {"Ea every 3 s", Motorola(), Command(CommandKind::kIntervalEa, 3), 3000, MotorolaMessage::kEa,
       false, 0, "  obeyed"},
      {"Hb once", Motorola(), Command(CommandKind::kIntervalHb, 0), 1000, MotorolaMessage::kHb,
       true, 0, "  obeyed"},
      {"Ab offset",
       Motorola(),
       Command(CommandKind::kGmtOffsetAb, -1, -240),
       1000,
       MotorolaMessage::kHb,
       false,
       -240,
       "  obeyed",
       {CommandKind::kGmtOffsetAb}},
      {"Gb offset",
       Motorola(),
       Command(CommandKind::kGmtOffsetGb, -1, 150),
       1000,
       MotorolaMessage::kHb,
       false,
       150,
       "  obeyed",
       {CommandKind::kGmtOffsetGb}},
      {"Gb offset, receiver ignores it", MotorolaIgnoringOffsets(),
       Command(CommandKind::kGmtOffsetGb, -1, 150), 1000, MotorolaMessage::kHb, false, 0,
       "  ignored"},
      {"Ab offset with a bad checksum", Motorola(),
       Command(CommandKind::kGmtOffsetAb, -1, 60, false), 1000, MotorolaMessage::kHb, false, 0,
       "  ignored"},
      {"Gb offset to nmea", Nmea(), Command(CommandKind::kGmtOffsetGb, -1, 60), 1000,
       MotorolaMessage::kHb, false, 0, "  ignored"},
      {"intervals still obeyed while offsets are ignored", MotorolaIgnoringOffsets(),
       Command(CommandKind::kIntervalEa, 2), 2000, MotorolaMessage::kEa, false, 0, "  obeyed"},
      {"bad checksum", Motorola(), Command(CommandKind::kIntervalEa, 3, 0, false), 1000,
       MotorolaMessage::kHb, false, 0, "  ignored"},
      {"unknown bytes", Motorola(), Command(CommandKind::kUnknownBytes, -1), 1000,
       MotorolaMessage::kHb, false, 0, ""},
  };
  for (const auto& c : cases) {
    std::string note;
    const ReceiverState after = Obey(c.before, c.command, note);
    EXPECT_EQ(after.interval_ms, c.interval_ms) << c.legend;
    EXPECT_EQ(after.message, c.message) << c.legend;
    EXPECT_EQ(after.polled_once, c.polled_once) << c.legend;
    EXPECT_EQ(after.offset_minutes, c.offset_minutes) << c.legend;
    EXPECT_EQ(after.answers_due, c.answers_due) << c.legend;
    EXPECT_TRUE(note.starts_with(c.note_starts)) << c.legend << ": " << note;
    EXPECT_EQ(note.empty(), c.note_starts.empty()) << c.legend;
  }
}

TEST(LiveFeedObey, IntervalCommandEndsSilence) {
  ReceiverState state = Motorola();
  state.silent = true;
  std::string note;
  EXPECT_FALSE(Obey(state, Command(CommandKind::kIntervalHb, 1), note).silent);
}

TEST(LiveFeedOutput, NmeaIsUtcAndMotorolaIsShiftedByTheOffset) {
  SimOptions options;
  const UnixMillis utc = *ParseStartTime("2026-12-07 23:05:00");

  const Bytes nmea = BuildReceiverOutput(Nmea(), options, utc);
  const std::string text(nmea.begin(), nmea.end());
  ASSERT_TRUE(text.starts_with("$GPRMC,230500.000,A,"));
  EXPECT_EQ(orvik::testing::NmeaFields(text.substr(0, text.find('\n') + 1))[9], "071226");

  ReceiverState motorola = Motorola();
  motorola.offset_minutes = 120;  // local time crosses midnight
  const Bytes hb = BuildReceiverOutput(motorola, options, utc);
  ASSERT_EQ(hb.size(), 54u);
  const std::uint8_t expected_time[] = {12, 8, 7, 234, 1, 5, 0};
  for (std::size_t i = 0; i < 7; ++i) EXPECT_EQ(hb[4 + i], expected_time[i]) << i;

  motorola.message = MotorolaMessage::kEa;
  EXPECT_EQ(BuildReceiverOutput(motorola, options, utc).size(), 76u);
}

TEST(LiveFeedObey, EachObeyedOffsetCommandIsAnsweredOnce) {
  std::string note;
  ReceiverState state = Obey(Motorola(), Command(CommandKind::kGmtOffsetGb, -1, 60), note);
  state = Obey(state, Command(CommandKind::kGmtOffsetAb, -1, 120), note);
  const std::vector<CommandKind> both = {CommandKind::kGmtOffsetGb, CommandKind::kGmtOffsetAb};
  EXPECT_EQ(state.answers_due, both);
  EXPECT_EQ(state.offset_minutes, 120);
}

// The "@@Gb" answer carries the receiver's own time: UTC plus the offset it
// applies, in whole seconds; here across midnight and the year's end.
TEST(LiveFeedOutput, OffsetAnswersCarryTheOffsetNowAppliedAndTheReceiversTime) {
  ReceiverState state = Motorola();
  state.offset_minutes = 90;
  const UnixMillis utc = *ParseStartTime("2026-12-31 23:05:07") + 999;

  const Bytes gb = BuildOffsetAnswer(state, CommandKind::kGmtOffsetGb, utc);
  const Bytes expected_gb = {64, 64, 71, 98, 1, 1, 7, 235, 0, 35, 7, 0, 1, 30};
  ASSERT_EQ(gb.size(), 17u);
  EXPECT_EQ(Bytes(gb.begin(), gb.begin() + 14), expected_gb);

  const Bytes ab = BuildOffsetAnswer(state, CommandKind::kGmtOffsetAb, utc);
  const Bytes expected_ab = {64, 64, 65, 98, 0, 1, 30};
  ASSERT_EQ(ab.size(), 10u);
  EXPECT_EQ(Bytes(ab.begin(), ab.begin() + 7), expected_ab);

  EXPECT_TRUE(BuildOffsetAnswer(state, CommandKind::kIntervalHb, utc).empty());
}

TEST(LiveFeedWriteLog, NamesEachStampedSentenceEndOrTheMotorolaMessageEnd) {
  const auto bytes = [](std::string_view text) { return Bytes(text.begin(), text.end()); };
  const std::vector<std::int64_t> two = {111, 222};
  const struct {
    const char* legend;
    Bytes output;
    bool nmea;
    std::vector<std::int64_t> stamps;
    std::string expected;
  } cases[] = {
      {"two sentences", bytes("$GPGGA,1*00\r\n$GPRMC,2*00\r\n"), true, two,
       "GPGGA 5000 111\nGPRMC 5000 222\n"},
      {"the write was cut short",
       bytes("$GPGGA,1*00\r\n$GPRMC,2*00\r\n"),
       true,
       {111},
       "GPGGA 5000 111\n"},
      {"a line without its dollar", bytes("GA,1*00\r\n"), true, {7}, "? 5000 7\n"},
      // An LF byte inside the data: only the message's end is logged.
      {"motorola", bytes("@@Hb\n...\r\n"), false, two, "@@Hb 5000 222\n"},
      {"motorola cut short", bytes("@@Hb\n...\r\n"), false, {111}, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WriteLogLines(c.output, c.nmea, "@@Hb", 5000, c.stamps), c.expected) << c.legend;
  }
}

}  // namespace
}  // namespace orvik::tools

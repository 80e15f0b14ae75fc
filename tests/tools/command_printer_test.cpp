#include "gpstime_sim/command_printer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace orvik::tools {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FromText(const std::string& text) { return Bytes(text.begin(), text.end()); }

// Commands as the time server composes them; checksums worked out by hand.
const Bytes kNmeaInterval1 = FromText("$PGRMC1,1,,,,,,,,,,,,,*4B\r\n");
const Bytes kGb = {64, 64, 71, 98, 12, 7, 7, 234, 13, 5, 0, 0, 2, 0, 201, 13, 10};
const Bytes kAbWestSummer = {64, 64, 65, 98, 255, 4, 0, 0xD8, 13, 10};  // -5 h in summer: -4:00
const Bytes kAbMinusHalfHour = {64, 64, 65, 98, 0, 0, 30, 0x3D, 13, 10};
const Bytes kHb1 = {64, 64, 72, 98, 1, 43, 13, 10};
const Bytes kEa1 = {64, 64, 69, 97, 1, 37, 13, 10};

std::vector<ReceiverCommand> ParseAll(const Bytes& bytes) {
  CommandParser parser;
  std::vector<ReceiverCommand> commands = parser.Push(bytes);
  for (ReceiverCommand& rest : parser.Flush()) commands.push_back(std::move(rest));
  return commands;
}

TEST(CommandPrinter, DecodesAndDescribesEachCommand) {
  const struct {
    Bytes bytes;
    CommandKind kind;
    bool checksum_ok;
    std::string line;
  } cases[] = {
      {kNmeaInterval1, CommandKind::kNmeaInterval, true,
       "command: $PGRMC1,1,,,,,,,,,,,,,*4B interval 1 (27 bytes, checksum ok)"},
      {FromText("$PGRMC1,120,,,,,,,,,,,,,*4B\r\n"), CommandKind::kNmeaInterval, false,
       "command: $PGRMC1,120,,,,,,,,,,,,,*4B interval 120 (29 bytes, checksum bad)"},
      {FromText("$PGRMC1,1,,,,,,,,,,,,,*4b\r\n"), CommandKind::kNmeaInterval, false,
       "command: $PGRMC1,1,,,,,,,,,,,,,*4b interval 1 (27 bytes, checksum bad)"},
      {FromText("$GPGGA,1*3E\n"), CommandKind::kOtherNmea, false,
       "command: $GPGGA,1*3E (12 bytes, checksum bad, no CR LF)"},
      {kGb, CommandKind::kGmtOffsetGb, true,
       "command: @@Gb 2026-12-07 13:05:00 GMT offset +2:00 (17 bytes, checksum ok)"},
      {kAbWestSummer, CommandKind::kGmtOffsetAb, true,
       "command: @@Ab GMT offset -4:00 (10 bytes, checksum ok)"},
      {kAbMinusHalfHour, CommandKind::kGmtOffsetAb, true,
       "command: @@Ab GMT offset +0:30 (10 bytes, checksum ok)"},
      {kHb1, CommandKind::kIntervalHb, true, "command: @@Hb interval 1 (8 bytes, checksum ok)"},
      {kEa1, CommandKind::kIntervalEa, true, "command: @@Ea interval 1 (8 bytes, checksum ok)"},
      {{64, 64, 72, 98, 1, 44, 13, 10},
       CommandKind::kIntervalHb,
       false,
       "command: @@Hb interval 1 (8 bytes, checksum bad)"},
      {{64, 64, 67, 102, 0x25, 13, 10},
       CommandKind::kOtherMotorola,
       true,
       "command: @@Cf (7 bytes, checksum ok)"},
      {{1, 2, 0xFF}, CommandKind::kUnknownBytes, false, "command: unknown bytes (3): 01 02 FF"},
  };
  for (const auto& c : cases) {
    const std::vector<ReceiverCommand> commands = ParseAll(c.bytes);
    ASSERT_EQ(commands.size(), 1u) << c.line;
    EXPECT_EQ(commands[0].kind, c.kind) << c.line;
    EXPECT_EQ(commands[0].checksum_ok, c.checksum_ok) << c.line;
    EXPECT_EQ(commands[0].bytes, c.bytes) << c.line;
    EXPECT_EQ(DescribeCommand(commands[0]), c.line);
  }
}

TEST(CommandPrinter, CarriesValuesToObey) {
  EXPECT_EQ(ParseAll(kNmeaInterval1)[0].interval, 1);
  EXPECT_EQ(ParseAll(FromText("$PGRMC1,x,*00\r\n"))[0].interval, -1);
  EXPECT_EQ(ParseAll(kGb)[0].offset_minutes, 120);
  EXPECT_EQ(ParseAll(kAbWestSummer)[0].offset_minutes, -240);
  EXPECT_EQ(ParseAll(kAbMinusHalfHour)[0].offset_minutes, 30);  // the sign follows the hours
  const core::DateTime gb_time = ParseAll(kGb)[0].date_time;
  EXPECT_EQ(gb_time.year, 2026);
  EXPECT_EQ(gb_time.month, 12);
  EXPECT_EQ(gb_time.day, 7);
  EXPECT_EQ(gb_time.hour, 13);
  EXPECT_EQ(ParseAll(kHb1)[0].interval, 1);
}

// A stream of commands, stray bytes among them, gives the same commands
// whether it arrives whole or one byte at a time.
TEST(CommandPrinter, FramesTheSameInAnyPieces) {
  Bytes stream;
  for (const Bytes& part : {Bytes{0x00, 0x7F}, kGb, kNmeaInterval1, Bytes{'@', 'x'}, kAbWestSummer,
                            kHb1, Bytes{'\r', '\n'}, kEa1}) {
    stream.insert(stream.end(), part.begin(), part.end());
  }
  const std::vector<CommandKind> expected = {CommandKind::kUnknownBytes, CommandKind::kGmtOffsetGb,
                                             CommandKind::kNmeaInterval, CommandKind::kUnknownBytes,
                                             CommandKind::kGmtOffsetAb,  CommandKind::kIntervalHb,
                                             CommandKind::kUnknownBytes, CommandKind::kIntervalEa};

  const auto kinds = [](const std::vector<ReceiverCommand>& commands) {
    std::vector<CommandKind> out;
    for (const ReceiverCommand& command : commands) out.push_back(command.kind);
    return out;
  };
  EXPECT_EQ(kinds(ParseAll(stream)), expected);

  CommandParser parser;
  std::vector<ReceiverCommand> piecewise;
  for (const std::uint8_t byte : stream) {
    for (ReceiverCommand& command : parser.Push(Bytes{byte})) piecewise.push_back(command);
  }
  EXPECT_FALSE(parser.has_pending());
  EXPECT_EQ(kinds(piecewise), expected);
}

TEST(CommandPrinter, DataBytesThatLookLikeStartsDoNotSplitACommand) {
  // Minute 36 is "$" and second 64 is "@".
  Bytes gb = {64, 64, 71, 98, 12, 7, 7, 234, 13, 36, 64, 0, 2, 0, 0, 13, 10};
  std::uint8_t sum = 0;
  for (std::size_t i = 2; i < 14; ++i) sum ^= gb[i];
  gb[14] = sum;
  const std::vector<ReceiverCommand> commands = ParseAll(gb);
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].kind, CommandKind::kGmtOffsetGb);
  EXPECT_TRUE(commands[0].checksum_ok);
}

TEST(CommandPrinter, IncompleteCommandWaitsAndFlushesAsUnknown) {
  CommandParser parser;
  EXPECT_TRUE(parser.Push(Bytes(kGb.begin(), kGb.begin() + 5)).empty());
  EXPECT_TRUE(parser.has_pending());
  const std::vector<ReceiverCommand> flushed = parser.Flush();
  ASSERT_EQ(flushed.size(), 1u);
  EXPECT_EQ(flushed[0].kind, CommandKind::kUnknownBytes);
  EXPECT_EQ(flushed[0].bytes.size(), 5u);
  EXPECT_FALSE(parser.has_pending());

  // A "$" that never meets a line feed is given up after 255 bytes.
  Bytes runaway(300, 'A');
  runaway[0] = '$';
  const std::vector<ReceiverCommand> commands = parser.Push(runaway);
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].bytes.size(), 255u);
  // The stray rest waits for the start of a command, or for Flush.
  const std::vector<ReceiverCommand> rest = parser.Flush();
  ASSERT_EQ(rest.size(), 1u);
  EXPECT_EQ(rest[0].bytes.size(), 45u);
}

}  // namespace
}  // namespace orvik::tools

#include "core/motorola_decoder.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "core/checksums.h"
#include "core/time_message_builder.h"

namespace orvik::core {
namespace {

// A whole message after its header: data, checksum, CR, LF.
std::vector<std::uint8_t> Body(char letter, const std::vector<std::uint8_t>& data_prefix,
                               std::size_t visible_at, std::uint8_t visible, std::uint8_t tracked) {
  const std::size_t length = letter == 'a' ? kEaBodyLength : kHbBodyLength;
  std::vector<std::uint8_t> body(length, 0);
  std::copy(data_prefix.begin(), data_prefix.end(), body.begin());
  for (std::size_t i = 7; i < 34; ++i) body[i] = static_cast<std::uint8_t>(100 + i);
  body[visible_at] = visible;
  body[visible_at + 1] = tracked;
  const std::uint8_t letters[2] = {static_cast<std::uint8_t>(letter == 'a' ? 'E' : 'H'),
                                   static_cast<std::uint8_t>(letter)};
  body[length - 3] = static_cast<std::uint8_t>(MotorolaChecksum(letters) ^
                                               MotorolaChecksum(std::span(body).first(length - 3)));
  body[length - 2] = '\r';
  body[length - 1] = '\n';
  return body;
}

const std::vector<std::uint8_t> kDecember7{12, 7, 7, 234, 13, 5, 0};

struct MotorolaRun {
  std::uint32_t counter = kInitialMessageCounter;
  std::optional<std::int64_t> receiver_offset = 120;
  DecodedMessage Decode(const char* header, const std::vector<std::uint8_t>& body) {
    const std::span<const std::uint8_t> h(reinterpret_cast<const std::uint8_t*>(header), 4);
    const DecodedMessage out =
        MotorolaDecoder{}.DecodeMotorola(h, body, receiver_offset, RolloverCheck{});
    if (out.counted) StepMessageCounter(counter);
    return out;
  }
};

TEST(DecodeMotorola, EaAndHbGiveTheSameTextsFromTheirOwnCountPositions) {
  for (const auto& [header, body] : {std::pair{"@@Ea", Body('a', kDecember7, 34, 9, 7)},
                                     std::pair{"@@Hb", Body('b', kDecember7, 35, 9, 7)}}) {
    MotorolaRun run;
    const DecodedMessage out = run.Decode(header, body);
    ASSERT_TRUE(out.display.has_value()) << header;
    EXPECT_EQ(out.display->texts.TimeText, "13:5:0");
    EXPECT_EQ(out.display->texts.DateText, "7.12.2026");
    EXPECT_EQ(out.display->texts.SatText, "7 / 9");
    EXPECT_FALSE(out.display->NoSatFlag);
    ASSERT_TRUE(out.time_message.has_value());
    EXPECT_EQ((*out.time_message)[34], 9);
    EXPECT_EQ((*out.time_message)[35], 7);
    EXPECT_EQ((*out.time_message)[33], 133);  // data passed through untouched
    // The receiver reports local time: UTC plus the offset it was commanded.
    ASSERT_TRUE(out.clock.has_value());
    EXPECT_EQ(out.clock->Local(), (DateTime{2026, 12, 1, 7, 13, 5, 0, 0}));
    EXPECT_EQ(out.clock->message_utc, UtcNanosOf(DateTime{2026, 12, 1, 7, 11, 5, 0, 0}));
  }
}

TEST(DecodeMotorola, NoTrackedSatelliteSetsNoSatFlag) {
  MotorolaRun run;
  const DecodedMessage out = run.Decode("@@Ea", Body('a', kDecember7, 34, 9, 0));
  EXPECT_EQ(out.display->texts.SatText, "0 / 9");
  EXPECT_TRUE(out.display->NoSatFlag);
}

TEST(DecodeMotorola, DamagedFramesAreRejectedLikeABadNmeaChecksum) {
  struct Case {
    const char* what;
    std::size_t at;
  };
  for (const Case& c : {Case{"checksum", 69}, Case{"CR", 70}, Case{"LF", 71}, Case{"data", 10}}) {
    MotorolaRun run;
    std::vector<std::uint8_t> body = Body('a', kDecember7, 34, 9, 7);
    body[c.at] ^= 0x01;
    const DecodedMessage out = run.Decode("@@Ea", body);
    ASSERT_TRUE(out.display.has_value()) << c.what;
    EXPECT_EQ(out.display->texts.TimeText, "--------") << c.what;
    EXPECT_FALSE(out.display->accepted) << c.what;
    EXPECT_FALSE(out.time_message.has_value()) << c.what;
    EXPECT_FALSE(out.clock.has_value()) << c.what;
    EXPECT_EQ(run.counter, kInitialMessageCounter) << c.what;
  }
}

TEST(DecodeMotorola, OutOfRangeDateIsSentAndShownButNeverSetsTheClock) {
  for (const std::vector<std::uint8_t>& bad :
       {std::vector<std::uint8_t>{13, 7, 7, 234, 13, 5, 0},
        std::vector<std::uint8_t>{4, 31, 7, 234, 13, 5, 0},
        std::vector<std::uint8_t>{12, 7, 7, 234, 24, 5, 0},
        std::vector<std::uint8_t>{12, 7, 7, 234, 13, 5, 60}}) {
    MotorolaRun run;
    const DecodedMessage out = run.Decode("@@Hb", Body('b', bad, 35, 9, 7));
    EXPECT_TRUE(out.time_message.has_value());
    EXPECT_TRUE(out.display.has_value() && out.display->accepted);
    EXPECT_FALSE(out.clock.has_value());
  }
}

TEST(DecodeMotorola, ClockIsOfferedOnlyForAKnownOffsetAndARealYear) {
  struct Case {
    std::vector<std::uint8_t> date;
    std::optional<std::int64_t> offset;
    bool sent;
    bool offered;
  };
  const Case cases[] = {
      {kDecember7, std::nullopt, true, false},             // offset not commanded yet
      {kDecember7, -330, true, true},                      // any commanded offset
      {{12, 7, 0, 0, 13, 5, 0}, 120, false, false},        // year 0
      {{12, 7, 0x27, 0x10, 13, 5, 0}, 120, false, false},  // year 10000
      {{12, 7, 0x27, 0x0F, 13, 5, 0}, 120, true, false},   // 9999: beyond the clock's range
      {{12, 7, 0x07, 0x6C, 13, 5, 0}, 120, true, true},    // 1900: offered, refused later
  };
  for (const Case& c : cases) {
    MotorolaRun run;
    run.receiver_offset = c.offset;
    const DecodedMessage out = run.Decode("@@Hb", Body('b', c.date, 35, 9, 7));
    EXPECT_EQ(out.time_message.has_value(), c.sent) << int(c.date[2]) << "/" << int(c.date[3]);
    EXPECT_EQ(out.clock.has_value(), c.offered) << int(c.date[2]) << "/" << int(c.date[3]);
    EXPECT_EQ(run.counter, kInitialMessageCounter + 1);
  }
}

TEST(BuildTimeMessage, HbShiftsTheCountsAndEveryRecordEndsWithTheMark) {
  std::array<std::uint8_t, 72> payload{};
  for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i);
  const TimeMessage ea = BuildTimeMessage(payload, 'a');
  const TimeMessage hb = BuildTimeMessage(payload, 'b');
  for (std::size_t i = 0; i < 34; ++i) {
    EXPECT_EQ(ea[i], i);
    EXPECT_EQ(hb[i], i);
  }
  EXPECT_EQ(ea[34], 34);
  EXPECT_EQ(ea[35], 35);
  EXPECT_EQ(hb[34], 35);
  EXPECT_EQ(hb[35], 36);
  for (const TimeMessage& m : {ea, hb}) {
    EXPECT_EQ(m[36], 251);
    EXPECT_EQ(m[37], 252);
    EXPECT_EQ(m[38], 253);
  }
}

}  // namespace
}  // namespace orvik::core

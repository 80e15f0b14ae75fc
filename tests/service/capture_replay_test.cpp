// Real receiver captures replayed in process through the framer of their
// protocol and the real decoders, fed as the receive loop feeds them: the
// messages framed and the time records sent are compared with values
// derived from the captures by an independent decoder. (One capture per
// protocol also goes through a real pty and serial link: receive_loop_pty_test.)
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/calendar.h"
#include "core/motorola_framer.h"
#include "core/nmea_framer.h"
#include "fakes/fake_system_clock.h"
#include "fakes/service/recording_decoders.h"
#include "fakes/service/recording_sender.h"
#include "service/receiver_time_keeper.h"
#include "support/corpus.h"
#include "support/line_framing.h"

namespace orvik::testing {
namespace {

constexpr core::DateTime kPcNow{2026, 12, 2, 8, 12, 0, 0, 0};

// The real decoders with what the acquisition thread gives them. A capture
// fed in one go is a backlog: no burst start is known, and no receiver
// offset was commanded. The program is taken as built when the captures were
// made, so their dates are the receiver's, not GPS week rollovers.
struct Decoding {
  Decoding() { clock.SetNow(kPcNow); }

  void Frame(core::MessageFramer& framer, const std::string& bytes, bool nmea) {
    const service::MessageContext context{settings, shared, bridge, log, {}, {}, std::nullopt};
    FrameLine(framer, bytes, [&](std::span<const std::uint8_t> message) {
      frames.emplace_back(message.begin(), message.end());
      nmea ? decoders.DecodeNmea(message, context) : decoders.DecodeMotorola(message, context);
    });
  }

  FakeSystemClock clock;
  RecordingSender sender;
  service::ReceiverTimeKeeper decoders{
      clock, platform::MachineMonotonicClock(), sender,
      core::SettableSpanFrom(core::DateTime{.year = 2000, .month = 1, .day = 1})};
  core::Settings settings;
  service::SharedState shared;
  service::DirectBridge bridge;
  RecordingLogWriter log;
  std::vector<std::string> frames;
};

// The local date and time expected for an RMC row: UTC + 2 hours (the default offset).
std::string ExpectedLocal(const ExpectedTimeMessage& row) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  std::sscanf((row.date + " " + row.time).c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &s);
  core::CivilFromDays(core::DaysFromCivil(y, mo, d) + (h + 2) / 24, y, mo, d);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, (h + 2) % 24, mi, s);
  return text;
}

TEST(CaptureReplay, EveryNmeaSentenceIsFramedAndEveryTimeMessageSentWhetherLinesOrGlued) {
  const auto captures = CorpusFiles(".nmea");
  ASSERT_FALSE(captures.empty()) << "no captures in " << CorpusDir();
  for (const std::filesystem::path& capture : captures) {
    const std::vector<std::string> lines = CaptureLines(capture);
    const std::vector<ExpectedTimeMessage> expected = ReadExpected(capture);
    for (const bool glued : {false, true}) {
      SCOPED_TRACE(capture.filename().string() + (glued ? " glued" : " as lines"));
      Decoding run;
      core::NmeaFramer framer;
      run.Frame(framer, CaptureStream(lines, glued), /*nmea=*/true);
      EXPECT_EQ(run.frames, SentencesOf(lines));

      const std::vector<core::TimeMessage> records = run.sender.Records();
      ASSERT_EQ(records.size(), expected.size());
      for (std::size_t i = 0; i < records.size(); ++i) {
        const core::TimeMessage& r = records[i];
        EXPECT_EQ(DateTimeAt(r), ExpectedLocal(expected[i])) << "record " << i;
        for (std::size_t k = 7; k < 34; ++k) EXPECT_EQ(r[k], 0) << "record " << i;
        if (expected[i].status != "A") {
          EXPECT_EQ(r[35], 0) << "record " << i;
        }
        EXPECT_EQ(std::vector<int>(r.begin() + 36, r.end()), (std::vector<int>{251, 252, 253}));
      }
      EXPECT_TRUE(run.clock.SetCalls().empty());
    }
  }
}

TEST(CaptureReplay, EveryMotorolaTimeMessageIsFramedAndTheIntactOnesSentOtherMessagesSkipped) {
  const auto captures = CorpusFiles(".bin");
  ASSERT_FALSE(captures.empty()) << "no captures in " << CorpusDir();
  for (const std::filesystem::path& capture : captures) {
    SCOPED_TRACE(capture.filename().string());
    Decoding run;
    core::MotorolaFramer framer;
    // One message at a time, as the receiver sends them: an unknown header
    // is paused over and purged, and costs only its own message.
    for (const std::string& message : MotorolaMessages(capture)) {
      run.Frame(framer, message, /*nmea=*/false);
    }
    const std::vector<ExpectedTimeMessage> expected = ReadExpected(capture);
    ASSERT_EQ(run.frames.size(), expected.size());
    std::vector<std::string> intact;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(run.frames[i].substr(0, 4), "@@" + expected[i].kind);
      EXPECT_EQ(DateTimeAt(run.frames[i], 4), expected[i].date + " " + expected[i].time);
      if (expected[i].checksum_ok) intact.push_back(expected[i].date + " " + expected[i].time);
    }
    std::vector<std::string> sent;
    for (const core::TimeMessage& record : run.sender.Records()) sent.push_back(DateTimeAt(record));
    EXPECT_EQ(sent, intact);
    // The receiver was never sent its GMT offset: its times are never taken for UTC.
    EXPECT_TRUE(run.clock.SetCalls().empty());
  }
}

}  // namespace
}  // namespace orvik::testing

// Real receiver captures through the whole acquisition path: pty, serial
// link, receive loop and decoders. The time records are compared with values
// derived from the captures by an independent decoder. A capture written in
// one go is a backlog (seconds of messages arriving within milliseconds), so
// none of it may set the clock.
#include "service/receiver_decoders.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/calendar.h"
#include "support/corpus.h"
#include "fakes/fake_system_clock.h"
#include "fakes/service/recording_sender.h"
#include "support/pty_loop.h"

namespace orvik::testing {
namespace {

constexpr core::DateTime kPcNow{2026, 12, 2, 8, 12, 0, 0, 0};

// The record expected for an RMC row: UTC + 2 hours (the default offset).
std::vector<int> ExpectedHead(const ExpectedTimeMessage& row) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  std::sscanf(row.date.c_str(), "%d-%d-%d", &year, &month, &day);
  std::sscanf(row.time.c_str(), "%d:%d:%d", &hour, &minute, &second);
  hour += 2;
  if (hour >= 24) {
    hour -= 24;
    int y = 0, m = 0, d = 0;
    core::CivilFromDays(core::DaysFromCivil(year, month, day) + 1, y, m, d);
    year = y;
    month = m;
    day = d;
  }
  return {month, day, year >> 8, year & 0xFF, hour, minute, second};
}

TEST(DecodersOnPty, EveryNmeaCaptureGivesTheIndependentlyDecodedRecordsAndNeverSetsTheClock) {
  for (const std::filesystem::path& capture : CorpusFiles(".nmea")) {
    SCOPED_TRACE(capture.filename().string());
    FakeSystemClock clock;
    RecordingSender sender;
    service::ReceiverDecoders decoders(clock, sender);
    clock.SetNow(kPcNow);
    PtyLoop loop(core::kProtocolNmea4800, /*start=*/false);
    loop.harness().UseDecoders(decoders);
    loop.Start();
    ASSERT_TRUE(loop.Send());
    const std::vector<ExpectedTimeMessage> expected = ReadExpected(capture);
    // One stream: the pty paces the writer, the line never goes quiet.
    ASSERT_TRUE(loop.Send(ReadBinaryFile(capture)));
    loop.harness().Stop();

    const std::vector<core::TimeMessage> records = sender.Records();
    ASSERT_EQ(records.size(), expected.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
      const core::TimeMessage& r = records[i];
      const std::vector<int> head = ExpectedHead(expected[i]);
      EXPECT_EQ(std::vector<int>(r.begin(), r.begin() + 7), head) << "record " << i;
      for (std::size_t k = 7; k < 34; ++k) EXPECT_EQ(r[k], 0) << "record " << i;
      if (expected[i].status != "A") {
        EXPECT_EQ(r[35], 0) << "record " << i;
      }
      EXPECT_EQ(r[36], 251);
      EXPECT_EQ(r[37], 252);
      EXPECT_EQ(r[38], 253);
    }
    EXPECT_TRUE(clock.SetCalls().empty());
  }
}

TEST(DecodersOnPty, MotorolaCaptureGivesTheReceiversOwnTimesAndNeverSetsTheClockUncommanded) {
  const auto captures = CorpusFiles(".bin");
  ASSERT_FALSE(captures.empty());
  for (const std::filesystem::path& capture : captures) {
    SCOPED_TRACE(capture.filename().string());
    FakeSystemClock clock;
    RecordingSender sender;
    service::ReceiverDecoders decoders(clock, sender);
    clock.SetNow(kPcNow);
    PtyLoop loop(core::kProtocolMotorolaOncore, /*start=*/false);
    loop.harness().UseDecoders(decoders);
    loop.Start();
    ASSERT_TRUE(loop.Send());
    const std::vector<ExpectedTimeMessage> expected = ReadExpected(capture);
    // One message at a time, as the receiver sends them.
    for (const std::string& message : MotorolaMessages(capture)) {
      ASSERT_TRUE(loop.Send(message));
    }
    loop.harness().Stop();

    const std::vector<core::TimeMessage> records = sender.Records();
    std::size_t intact = 0;
    for (const ExpectedTimeMessage& row : expected) intact += row.checksum_ok ? 1 : 0;
    ASSERT_EQ(records.size(), intact);
    std::size_t r = 0;
    for (const ExpectedTimeMessage& row : expected) {
      if (!row.checksum_ok) continue;
      char date_time[32];
      const core::TimeMessage& m = records[r++];
      std::snprintf(date_time, sizeof date_time, "%04d-%02d-%02d %02d:%02d:%02d",
                    m[2] * 256 + m[3], m[0], m[1], m[4], m[5], m[6]);
      EXPECT_EQ(date_time, row.date + " " + row.time);
    }
    // The receiver was never sent its GMT offset: its times are never taken for UTC.
    EXPECT_TRUE(clock.SetCalls().empty());
  }
}

}  // namespace
}  // namespace orvik::testing

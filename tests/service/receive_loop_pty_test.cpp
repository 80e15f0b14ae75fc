// The receive loop on a real pty through the POSIX serial link: real
// time-outs, real purges, a real receiver capture per protocol.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "fakes/fake_system_clock.h"
#include "fakes/service/recording_sender.h"
#include "service/receiver_time_keeper.h"
#include "support/corpus.h"
#include "support/pty_loop.h"

namespace orvik::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr core::DateTime kPcNow{2026, 12, 2, 8, 12, 0, 0, 0};

// One capture per protocol through the real link; every capture is replayed
// in process by capture_replay_test.
fs::path Capture(const char* name) { return CorpusDir() / name; }

TEST(ReceiveLoopOnPty, NmeaCaptureIsFramedWholeAndAsABacklogNeverSetsTheClock) {
  const fs::path capture = Capture("nmea_garmin25lp_1.nmea");
  FakeSystemClock clock;
  RecordingSender sender;
  service::ReceiverTimeKeeper decoders(clock, platform::MachineMonotonicClock(), sender);
  clock.SetNow(kPcNow);
  PtyLoop loop(core::kProtocolNmea4800, /*start=*/false);
  loop.harness().UseDecoders(decoders);
  loop.Start();
  ASSERT_TRUE(loop.pty().Ok());
  ASSERT_TRUE(loop.Send());
  // The whole capture in one stream: the pty paces the writer, so the line
  // never goes quiet in the middle of it, and the messages arrive within
  // milliseconds of each other, not one second apart.
  const std::vector<std::string> lines = CaptureLines(capture);
  ASSERT_TRUE(loop.Send(CaptureStream(lines, /*glued=*/false)));
  EXPECT_EQ(loop.TakeFrames(), SentencesOf(lines));
  loop.harness().Stop();
  EXPECT_EQ(sender.Records().size(), ReadExpected(capture).size());
  EXPECT_TRUE(clock.SetCalls().empty());
}

TEST(ReceiveLoopOnPty, MotorolaCaptureGivesEveryTimeMessageAndSkipsOtherMessages) {
  const fs::path capture = Capture("moto_oncore_r5122_2.bin");
  PtyLoop loop(core::kProtocolMotorolaOncore);
  ASSERT_TRUE(loop.pty().Ok());
  ASSERT_TRUE(loop.Send());
  // Messages one at a time, each handled (an unknown header paused over
  // and purged) before the next one goes.
  for (const std::string& message : MotorolaMessages(capture)) {
    ASSERT_TRUE(loop.Send(message));
  }
  std::vector<std::string> framed;
  for (const std::string& frame : loop.TakeFrames()) {
    framed.push_back(frame.substr(2, 2) + " " + DateTimeAt(frame, 4));
  }
  std::vector<std::string> expected;
  for (const ExpectedTimeMessage& row : ReadExpected(capture)) {
    expected.push_back(row.kind + " " + row.date + " " + row.time);
  }
  EXPECT_EQ(framed, expected);
}

TEST(ReceiveLoopOnPty, ReceiverUnpluggedAndPluggedBackIsReadAgainWithoutHelp) {
  PtyLoop loop(core::kProtocolNmea9600);
  ASSERT_TRUE(loop.pty().Ok());
  ASSERT_TRUE(loop.Send());
  loop.Replug();
  ASSERT_TRUE(loop.pty().Ok());
  ASSERT_TRUE(loop.Send()) << "the receiver plugged back in is never read";
  EXPECT_TRUE(loop.Send("$GPGGA,1*00\r\n"));
  EXPECT_EQ(loop.TakeFrames(), std::vector<std::string>{"GPGGA,1*00\r\n"});
  EXPECT_TRUE(loop.harness().shared().lifecycle.AcquisitionRunning);
}

TEST(ReceiveLoopOnPty, PendingCommandReachesTheReceiver) {
  PtyLoop loop(core::kProtocolNmea4800);
  ASSERT_TRUE(loop.pty().Ok());
  ASSERT_TRUE(loop.Send());
  const std::string command = "$PGRMC1,1,1*6D\r\n";
  ASSERT_TRUE(loop.harness().shared().command.Compose(
      std::vector<std::uint8_t>(command.begin(), command.end())));
  EXPECT_EQ(loop.pty().ReadFromMaster(command.size(), 3s), command);
  EXPECT_EQ(loop.pty().ReadFromMaster(1, 300ms), "");  // sent once
}

}  // namespace
}  // namespace orvik::testing

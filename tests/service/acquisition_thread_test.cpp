#include "service/acquisition_thread.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fakes/fake_system_clock.h"
#include "support/acquisition_harness.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace orvik::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using namespace std::chrono_literals;

constexpr auto kWait = 5s;  // generous bound for anything that should be quick

const std::string kRmc = "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n";

core::Settings WithProtocol(std::int32_t protocol) {
  core::Settings settings;
  settings.Protocol = protocol;
  return settings;
}

// Runs the loop over `bytes`, fed once the start-up purges are done (at the
// start delay), until it has found the line empty twice; then stops it and
// returns what was framed and every operation on the link.
struct FramingRun {
  std::vector<std::string> frames;
  std::vector<std::string> operations;
};

FramingRun Frame(const std::string& bytes, std::int32_t protocol = core::kProtocolNmea4800,
                 int starved_reads = 2) {
  AcquisitionHarness harness(WithProtocol(protocol));
  FakeSerialLink& fake = harness.fake();
  fake.OnIdleWait([&fake, &bytes, fed = false](std::chrono::milliseconds pause) mutable {
    if (pause != 100ms || fed) return;
    fake.Feed(bytes);
    fed = true;
  });
  harness.Start();
  EXPECT_TRUE(fake.WaitForStarvedReads(starved_reads, kWait));
  harness.Stop();
  return {harness.decoders().Frames(), fake.Operations()};
}

std::string Motorola(const std::string& header, std::size_t rest_length, char fill) {
  return header + std::string(rest_length, fill);
}

TEST(ReceiveLoop, StartsWithPurgePausePurgeThenStartDelay) {
  const FramingRun run = Frame("");
  ASSERT_GE(run.operations.size(), 9u);
  EXPECT_THAT(std::vector<std::string>(run.operations.begin() + 1, run.operations.begin() + 9),
              ElementsAre("purge-clear", "idle 1000", "purge-all", "poll", "idle 100", "poll",
                          "poll", "read1"));
  EXPECT_EQ(run.operations.front().rfind("open ", 0), 0u);
  EXPECT_NE(run.operations.front().find(" 4800"), std::string::npos);
}

TEST(ReceiveLoop, InputComingFasterThanTheLineAtTheStartIsDiscarded) {
  // A backlog drains from a buffer on the way for five more steps after the
  // start's pause: all of it goes; the sentence sent live after it is framed.
  AcquisitionHarness harness;
  FakeSerialLink& fake = harness.fake();
  const std::string old = "$GPRMC,000000,A,,,,,,,010101,,*00\r\n" + kRmc + kRmc + kRmc;
  fake.OnIdleWait(
      [&fake, &old, backlog = 0, live = false](std::chrono::milliseconds pause) mutable {
        if ((pause == 1000ms || pause == 50ms) && backlog < 5) {
          fake.Feed(old);
          ++backlog;
        } else if (pause == 100ms && !live) {
          fake.Feed(kRmc);
          live = true;
        }
      });
  harness.Start();
  ASSERT_TRUE(fake.WaitForStarvedReads(2, kWait));
  harness.Stop();
  EXPECT_THAT(harness.decoders().Frames(), ElementsAre(kRmc.substr(1)));
  EXPECT_EQ(fake.Count("idle 50"), 5);
}

TEST(ReceiveLoop, OpensAtTheProtocolsBaudRate) {
  struct Case {
    std::int32_t protocol;
    const char* baud;
  };
  for (const Case& c : {Case{0, " 4800"}, Case{1, " 9600"}, Case{2, " 9600"}, Case{3, " 9600"}}) {
    const FramingRun run = Frame("", c.protocol);
    ASSERT_FALSE(run.operations.empty());
    EXPECT_TRUE(run.operations.front().ends_with(c.baud)) << run.operations.front();
  }
}

TEST(ReceiveLoop, FramesNmeaSentencesAndSkipsStrayBytesOnePerPass) {
  const FramingRun run = Frame("xy" + kRmc + "\r\n" + kRmc);
  EXPECT_THAT(run.frames, ElementsAre(kRmc.substr(1), kRmc.substr(1)));
  // Each stray byte costs one pass: a one-byte read that is not "$", then
  // back to sending and receiving.
  const auto first_read5 = std::find(run.operations.begin(), run.operations.end(), "read5");
  EXPECT_EQ(std::count(run.operations.begin(), first_read5, "read1"), 3);
  EXPECT_EQ(std::count(run.operations.begin(), first_read5, "purge-all"),
            1);  // only the initial one
}

TEST(ReceiveLoop, SentenceWithoutStarInItsFirst255BodyBytesIsNotDecoded) {
  const std::string no_star = "$GPRMC," + std::string(300, 'A') + "\r\n";
  const FramingRun run = Frame(no_star);
  EXPECT_THAT(run.frames, IsEmpty());
  // "$", the address, then exactly 255 body bytes, then a purge.
  const auto read5 = std::find(run.operations.begin(), run.operations.end(), "read5");
  ASSERT_NE(read5, run.operations.end());
  EXPECT_TRUE(
      std::all_of(read5 + 1, read5 + 256, [](const std::string& op) { return op == "read1"; }));
  EXPECT_EQ(*(read5 + 256), "poll");
  EXPECT_EQ(*(read5 + 257), "purge-all");
}

TEST(ReceiveLoop, FramesMotorolaEaAndHbUnderEitherMotorolaProtocol) {
  const std::string ea = Motorola("@@Ea", 72, 'e');
  const std::string hb = Motorola("@@Hb", 50, 'h');
  for (std::int32_t protocol : {core::kProtocolMotorolaM12, core::kProtocolMotorolaOncore}) {
    const FramingRun run = Frame(ea + hb + ea, protocol);
    EXPECT_THAT(run.frames, ElementsAre(ea, hb, ea)) << "protocol " << protocol;
  }
}

TEST(ReceiveLoop, MotorolaHeaderCutByAReadTimeOutIsKeptForTheRestOfTheMessage) {
  // A silent line's header read may time out just as a message begins; at
  // one message a second that happens in the same place every second.
  const std::string hb = Motorola("@@Hb", 48, 'h') + "\r\n";
  for (const std::size_t first_part : {1u, 2u, 3u}) {
    AcquisitionHarness harness(WithProtocol(core::kProtocolMotorolaM12));
    FakeSerialLink& fake = harness.fake();
    harness.Start();
    ASSERT_TRUE(fake.WaitForStarvedReads(1, kWait));
    fake.Feed(hb.substr(0, first_part));
    ASSERT_TRUE(fake.WaitForStarvedReads(fake.StarvedReads() + 2, kWait));
    fake.Feed(hb.substr(first_part));
    ASSERT_TRUE(fake.WaitForStarvedReads(fake.StarvedReads() + 2, kWait));
    harness.Stop();
    EXPECT_THAT(harness.decoders().Frames(), ElementsAre(hb)) << first_part;
  }
}

TEST(ReceiveLoop, UnknownMotorolaHeaderPausesAndPurges) {
  const FramingRun run = Frame("@@Ha" + std::string(60, 'x'), core::kProtocolMotorolaM12);
  EXPECT_THAT(run.frames, IsEmpty());
  const auto read4 = std::find(run.operations.begin(), run.operations.end(), "read4");
  ASSERT_NE(read4, run.operations.end());
  EXPECT_THAT(std::vector<std::string>(read4, read4 + 4),
              ElementsAre("read4", "idle 10", "poll", "purge-all"));
}

TEST(ReceiveLoop, StopDuringTheFirstPauseEndsAtTheFirstPassAndLogsStop) {
  core::Settings settings;
  settings.LoggingEnabled = true;
  AcquisitionHarness harness(settings);
  FakeSerialLink& fake = harness.fake();
  fake.OnIdleWait([&harness](std::chrono::milliseconds pause) {
    if (pause == 1000ms) harness.WaitForThread()->RequestStop();
  });
  harness.Start();
  EXPECT_TRUE(WaitUntil([&] { return !harness.shared().lifecycle.AcquisitionRunning; }, kWait));
  EXPECT_FALSE(harness.shared().lifecycle.PortActive);
  harness.Stop();
  EXPECT_THAT(harness.log().Lines(), ElementsAre("Start", "Stop"));
  EXPECT_EQ(fake.Count("read1"), 0);
  EXPECT_EQ(fake.Count("poll"), 0);
}

TEST(ReceiveLoop, WritesNothingToTheLogWhenLoggingIsOff) {
  AcquisitionHarness harness;
  FakeSerialLink& fake = harness.fake();
  harness.Start();
  EXPECT_TRUE(fake.WaitForStarvedReads(1, kWait));
  harness.Stop();
  EXPECT_THAT(harness.log().Lines(), IsEmpty());
}

TEST(ReceiveLoop, CommandComposedBeforeTheThreadStartsIsDropped) {
  AcquisitionHarness harness;
  const std::vector<std::uint8_t> command = {'@', '@', 'G', 'b'};
  ASSERT_TRUE(harness.shared().command.Compose(command));
  FakeSerialLink& fake = harness.fake();
  harness.Start();
  EXPECT_TRUE(fake.WaitForStarvedReads(2, kWait));
  harness.Stop();
  EXPECT_EQ(fake.Written(), "");
}

TEST(ReceiveLoop, CommandComposedWhileRunningIsSentOnceAndAReplacedOneNever) {
  AcquisitionHarness harness;
  FakeSerialLink& fake = harness.fake();
  fake.OnIdleWait([&harness](std::chrono::milliseconds pause) {
    if (pause != 1000ms) return;
    const std::vector<std::uint8_t> first = {'f', 'i', 'r', 's', 't'};
    const std::vector<std::uint8_t> second = {'$', 'P', 'G', 'R', 'M', 'C', '1'};
    harness.shared().command.Compose(first);
    harness.shared().command.Compose(second);
  });
  harness.Start();
  EXPECT_TRUE(fake.WaitForStarvedReads(3, kWait));
  harness.Stop();
  EXPECT_EQ(fake.Written(), "$PGRMC1");
  EXPECT_EQ(harness.shared().command.CommandLength(), 0u);
}

TEST(ReceiveLoop, SleepsThroughASilentLineUntilInputOrACommand) {
  // After a read that got nothing in its whole time, the loop waits for the
  // line before it reads again, instead of timing out read after read; a
  // command composed meanwhile ends that wait, and the read after its write
  // runs its course (the answer may come).
  AcquisitionHarness harness;
  FakeSerialLink& fake = harness.fake();
  harness.Start();
  ASSERT_TRUE(fake.WaitForStarvedReads(2, kWait));
  ASSERT_TRUE(harness.shared().command.Compose(std::vector<std::uint8_t>{'c'}));
  ASSERT_TRUE(WaitUntil([&] { return fake.Written() == "c"; }, kWait));
  ASSERT_TRUE(fake.WaitForStarvedReads(fake.StarvedReads() + 2, kWait));
  harness.Stop();

  const std::vector<std::string> ops = fake.Operations();
  EXPECT_EQ(std::count(ops.begin(), ops.end(), "nudge"), 1);
  // What happened between each two reads of the silent line.
  std::vector<std::string> between;
  int reads = 0;
  for (const std::string& op : ops) {
    if (op != "read1") {
      if (reads > 0 && (op.starts_with("await") || op.starts_with("write"))) between.push_back(op);
      continue;
    }
    if (reads++ > 0) {
      // One wait before each read, none between a write and the read after it.
      const auto write = std::find_if(between.rbegin(), between.rend(),
                                      [](const std::string& o) { return o.starts_with("write"); });
      EXPECT_EQ(std::count(between.rbegin(), write, "await 1000"), write == between.rend() ? 1 : 0)
          << reads;
    }
    between.clear();
  }
  EXPECT_GE(reads, 4);
}

TEST(ReceiveLoop, ClearsTheHeartbeatWhileTheLineIsSilent) {
  AcquisitionHarness harness;
  FakeSerialLink& fake = harness.fake();
  harness.Start();
  ASSERT_TRUE(fake.WaitForStarvedReads(1, kWait));
  harness.shared().lifecycle.LoopHeartbeat = true;
  // Two more passes of the loop from here on, however many ran before.
  ASSERT_TRUE(fake.WaitForStarvedReads(fake.StarvedReads() + 2, kWait));
  EXPECT_FALSE(harness.shared().lifecycle.LoopHeartbeat);
  EXPECT_FALSE(harness.shared().display.DataSeenFlag);
}

TEST(ReceiveLoop, PortThatCannotBeOpenedIsPacedAndOpenedAgainLater) {
  AcquisitionHarness harness;
  harness.options().reopen_interval = 50ms;
  FakeSerialLink& fake = harness.fake();
  fake.FailNextOpen();
  harness.Start();
  // Reads find an empty line only once the port is open again. A purge may
  // drop bytes fed while a failed read is being handled: feed until framed.
  ASSERT_TRUE(fake.WaitForStarvedReads(1, kWait));
  bool framed = false;
  for (int attempt = 0; attempt < 100 && !framed; ++attempt) {
    fake.Feed(kRmc);
    framed = harness.decoders().WaitForFrames(1, 50ms);
  }
  ASSERT_TRUE(framed);
  harness.Stop();
  EXPECT_EQ(harness.decoders().Frames().front(), kRmc.substr(1));
  const std::vector<std::string> ops = fake.Operations();
  const auto opens = std::count_if(ops.begin(), ops.end(),
                                   [](const std::string& op) { return op.rfind("open", 0) == 0; });
  EXPECT_GE(opens, 2);
  // While the port was closed every receive step paused.
  EXPECT_GE(fake.Count("idle 100"), 2);
}

TEST(ReceiveLoop, PortThatCannotBeOpenedIsTriedEveryFiveSecondsAndItsReasonToldOncePerChange) {
  FakeSystemClock clock;
  core::Settings settings;
  settings.LoggingEnabled = true;
  AcquisitionHarness harness(settings);
  harness.UseClock(clock);
  TempDir dir;
  dir.WriteFile("COM2", "");  // the port's name is its own: no device is named
  harness.options().working_dir = dir.path();
  harness.options().closed_port_pause = 7ms;
  FakeSerialLink& fake = harness.fake();
  const core::PortOpenFailure missing{core::PortFault::kNoSuchPort, ""};
  fake.FailNextOpens({missing, missing, {core::PortFault::kInUse, ""}});
  // Each pause on the closed port lasts a second; what the status line
  // shows meanwhile is noted.
  std::vector<std::string> shown;
  fake.OnIdleWait([&](std::chrono::milliseconds pause) {
    if (pause != 7ms) return;
    clock.Advance(1000);
    const std::string problem = harness.shared().receiver_port.Problem();
    if (shown.empty() || shown.back() != problem) shown.push_back(problem);
  });
  harness.Start();
  ASSERT_TRUE(WaitUntil([&] { return fake.IsOpen(); }, kWait));
  EXPECT_EQ(harness.shared().receiver_port.Problem(), "") << "the line goes once the port opens";
  harness.Stop();

  EXPECT_THAT(shown,
              ElementsAre("COM2: no such port", "COM2: access denied (in use by another program)"));
  std::vector<std::string> logged = harness.log().Lines();
  std::erase_if(logged, [](const std::string& line) { return line == "Start" || line == "Stop"; });
  EXPECT_THAT(logged, ElementsAre("COM2: no such port",
                                  "COM2: access denied (in use by another program)", "COM2: open"));
  // Five pauses of a second between one attempt and the next.
  int pauses = -1;
  std::vector<int> between;
  for (const std::string& op : fake.Operations()) {
    if (op.starts_with("open ")) {
      if (pauses >= 0) between.push_back(pauses);
      pauses = 0;
    } else if (op == "idle 7" && pauses >= 0) {
      ++pauses;
    }
  }
  EXPECT_THAT(between, ElementsAre(5, 5, 5));
}

TEST(ReceiveLoop, ClosingThePortFromAnotherThreadEndsTheThreadPromptly) {
  AcquisitionHarness harness;
  FakeSerialLink& fake = harness.fake();
  harness.Start();
  ASSERT_TRUE(fake.WaitForStarvedReads(1, kWait));
  service::comm_GPS_acq* thread = harness.WaitForThread();
  thread->ClosePort();
  thread->RequestStop();
  EXPECT_TRUE(WaitUntil([&] { return thread->Finished(); }, kWait));
  EXPECT_GE(fake.Count("close"), 2);  // the main thread's and the loop's own
}

}  // namespace
}  // namespace orvik::testing

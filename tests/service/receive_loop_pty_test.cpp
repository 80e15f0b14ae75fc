// The receive loop on a real pty through the POSIX serial link: real
// time-outs, real purges, real receiver captures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/corpus.h"
#include "support/nmea_text.h"
#include "support/pty_loop.h"

namespace orvik::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// "hhmmss[.sss]" and "ddmmyy" as the expectations write them.
std::string RmcTime(const std::string& field) {
  return field.substr(0, 2) + ":" + field.substr(2, 2) + ":" + field.substr(4, 2);
}
std::string RmcDate(const std::string& field) {
  return "20" + field.substr(4, 2) + "-" + field.substr(2, 2) + "-" + field.substr(0, 2);
}

// A capture's sentences as one stream: each line ended by CR LF, or glued
// together without line ends and with a doubled "$" on every other sentence,
// as some receivers send them. Either way every sentence must be framed.
std::string CaptureStream(const std::vector<std::string>& lines, bool glued) {
  std::string stream;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!glued) {
      stream += lines[i] + "\r\n";
    } else {
      stream += (i % 2 == 1 ? "$" : "") + lines[i];
    }
  }
  return glued ? stream + "\r\n" : stream;
}

TEST(ReceiveLoopOnPty, FramesEveryCaptureSentenceWithoutLossOrExtra) {
  const auto captures = CorpusFiles(".nmea");
  ASSERT_FALSE(captures.empty()) << "no captures in " << CorpusDir();
  for (const fs::path& capture : captures) {
    SCOPED_TRACE(capture.filename().string());
    PtyLoop loop(core::kProtocolNmea4800);
    ASSERT_TRUE(loop.pty().Ok());
    ASSERT_TRUE(loop.Send());

    const std::vector<std::string> lines = CaptureLines(capture);
    std::vector<std::string> expected;
    for (const std::string& line : lines) {
      ASSERT_EQ(line[0], '$') << line;
      expected.push_back(line.substr(1) + "\r\n");
    }
    std::vector<std::string> expected_rmc;
    for (const ExpectedTimeMessage& row : ReadExpected(capture)) {
      expected_rmc.push_back(row.talker + " " + row.date + " " + row.time + " " + row.status);
    }
    for (const bool glued : {false, true}) {
      SCOPED_TRACE(glued ? "glued" : "as lines");
      // The whole capture in one stream: the pty paces the writer, so the
      // line never goes quiet in the middle of it.
      ASSERT_TRUE(loop.Send(CaptureStream(lines, glued)));
      const std::vector<std::string> frames = loop.TakeFrames();
      EXPECT_EQ(frames, expected);

      // The RMC sentences framed carry exactly the times the independent
      // decoding found, in order: every time message, none lost.
      std::vector<std::string> framed_rmc;
      for (const std::string& frame : frames) {
        if (frame.substr(2, 3) != "RMC") continue;
        const std::vector<std::string> f = NmeaFields("$" + frame);
        if (f.size() < 10 || f[1].size() < 6 || f[9].size() < 6) continue;
        framed_rmc.push_back(frame.substr(0, 2) + " " + RmcDate(f[9]) + " " + RmcTime(f[1]) +
                             " " + f[2]);
      }
      EXPECT_EQ(framed_rmc, expected_rmc);
    }
  }
}

TEST(ReceiveLoopOnPty, FramesEveryEaOfTheMotorolaCapturesAndSkipsOtherMessages) {
  const auto captures = CorpusFiles(".bin");
  ASSERT_FALSE(captures.empty()) << "no captures in " << CorpusDir();
  for (const fs::path& capture : captures) {
    SCOPED_TRACE(capture.filename().string());
    PtyLoop loop(core::kProtocolMotorolaOncore);
    ASSERT_TRUE(loop.pty().Ok());
    ASSERT_TRUE(loop.Send());

    const std::vector<ExpectedTimeMessage> expected = ReadExpected(capture);
    // Messages one at a time, each handled (an unknown header paused over
    // and purged) before the next one goes.
    for (const std::string& message : MotorolaMessages(capture)) {
      ASSERT_TRUE(loop.Send(message));
    }
    const std::vector<std::string> frames = loop.TakeFrames();
    ASSERT_EQ(frames.size(), expected.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
      // Data bytes 0..6 after the header: month, day, year (2), hour, minute, second.
      const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(frames[i][4 + k]); };
      char date_time[32];
      std::snprintf(date_time, sizeof date_time, "%04u-%02u-%02u %02u:%02u:%02u",
                    byte(2) * 256u + byte(3), byte(0), byte(1), byte(4), byte(5), byte(6));
      EXPECT_EQ(frames[i].substr(0, 4), "@@" + expected[i].kind);
      EXPECT_EQ(date_time, expected[i].date + " " + expected[i].time);
    }
  }
}

TEST(ReceiveLoopOnPty, WrongMotorolaHeaderInTheMiddleOfAStreamCostsOnlyThatMessage) {
  PtyLoop loop(core::kProtocolMotorolaM12);
  ASSERT_TRUE(loop.pty().Ok());
  ASSERT_TRUE(loop.Send());
  const std::string hb = "@@Hb" + std::string(47, '\x01') + std::string("\x00\r\n", 3);
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(loop.Send(i == 4 ? "@@Xy" + std::string(20, 'z') : hb));
  }
  EXPECT_EQ(loop.TakeFrames(), std::vector<std::string>(9, hb));
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

// The receive loop on a real pty through the POSIX serial link: real
// time-outs, real purges, real receiver captures.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "fakes/corpus.h"
#include "fakes/pty_pair.h"
#include "platform/posix_serial_link.h"
#include "service/pty_loop.h"

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

std::vector<std::string> Fields(const std::string& sentence) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = sentence.find_first_of(",*", start);
    fields.push_back(sentence.substr(start, comma - start));
    if (comma == std::string::npos || sentence[comma] == '*') break;
    start = comma + 1;
  }
  return fields;
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
    ASSERT_TRUE(loop.WaitUntilReading("$GPTXT,probe*00\r\n"));
    std::size_t framed_before = loop.harness().decoders().Frames().size();

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
      ASSERT_TRUE(loop.pty().WriteToMaster(CaptureStream(lines, glued)));
      ASSERT_TRUE(
          loop.harness().decoders().WaitForFrames(framed_before + expected.size(), 10s));
      std::this_thread::sleep_for(150ms);  // time for an extra frame to show up

      std::vector<std::string> frames = loop.harness().decoders().Frames();
      frames.erase(frames.begin(), frames.begin() + static_cast<std::ptrdiff_t>(framed_before));
      framed_before += frames.size();
      EXPECT_EQ(frames, expected);

      // The RMC sentences framed carry exactly the times the independent
      // decoding found, in order: every time message, none lost.
      std::vector<std::string> framed_rmc;
      for (const std::string& frame : frames) {
        if (frame.substr(2, 3) != "RMC") continue;
        const std::vector<std::string> f = Fields(frame);
        if (f.size() < 10 || f[1].size() < 6 || f[9].size() < 6) continue;
        framed_rmc.push_back(frame.substr(0, 2) + " " + RmcDate(f[9]) + " " + RmcTime(f[1]) +
                             " " + f[2]);
      }
      EXPECT_EQ(framed_rmc, expected_rmc);
    }
  }
}

// Splits a Motorola capture at every "@@" that starts the file or follows
// CR LF: one element per message, as the receiver sent them.
std::vector<std::string> SplitMotorola(const std::string& bytes) {
  std::vector<std::string> messages;
  std::size_t start = 0;
  for (std::size_t i = 2; i + 1 < bytes.size(); ++i) {
    if (bytes[i] == '@' && bytes[i + 1] == '@' && bytes[i - 2] == '\r' && bytes[i - 1] == '\n') {
      messages.push_back(bytes.substr(start, i - start));
      start = i;
    }
  }
  messages.push_back(bytes.substr(start));
  return messages;
}

TEST(ReceiveLoopOnPty, FramesEveryEaOfTheMotorolaCapturesAndSkipsOtherMessages) {
  const auto captures = CorpusFiles(".bin");
  ASSERT_FALSE(captures.empty()) << "no captures in " << CorpusDir();
  for (const fs::path& capture : captures) {
    SCOPED_TRACE(capture.filename().string());
    PtyLoop loop(core::kProtocolMotorolaOncore);
    ASSERT_TRUE(loop.pty().Ok());
    const std::string probe = "@@Hb" + std::string(50, '\0');
    ASSERT_TRUE(loop.WaitUntilReading(probe));
    std::this_thread::sleep_for(50ms);
    const std::size_t probes = loop.harness().decoders().Frames().size();

    const std::vector<ExpectedTimeMessage> expected = ReadExpected(capture);
    // Messages one at a time, far enough apart that the pause and purge
    // after an unknown header are over before the next one arrives.
    for (const std::string& message : SplitMotorola(ReadBinaryFile(capture))) {
      ASSERT_TRUE(loop.pty().WriteToMaster(message));
      std::this_thread::sleep_for(40ms);
    }
    loop.harness().decoders().WaitForFrames(probes + expected.size(), 5s);
    std::this_thread::sleep_for(100ms);
    loop.harness().Stop();

    std::vector<std::string> frames = loop.harness().decoders().Frames();
    frames.erase(frames.begin(), frames.begin() + static_cast<std::ptrdiff_t>(probes));
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
  const std::string hb = "@@Hb" + std::string(47, '\x01') + std::string("\x00\r\n", 3);
  ASSERT_TRUE(loop.WaitUntilReading(hb));
  const std::size_t before = loop.harness().decoders().Frames().size();
  for (int i = 0; i < 10; ++i) {
    ASSERT_TRUE(loop.pty().WriteToMaster(i == 4 ? "@@Xy" + std::string(20, 'z') : hb));
    std::this_thread::sleep_for(40ms);
  }
  loop.harness().decoders().WaitForFrames(before + 9, 5s);
  loop.harness().Stop();
  EXPECT_EQ(loop.harness().decoders().Frames().size(), before + 9);
}

TEST(ReceiveLoopOnPty, ReceiverUnpluggedAndPluggedBackIsReadAgainWithoutHelp) {
  PtyLoop loop(core::kProtocolNmea9600);
  ASSERT_TRUE(loop.pty().Ok());
  const std::string sentence = "$GPGGA,1*00\r\n";
  ASSERT_TRUE(loop.WaitUntilReading(sentence));

  loop.pty().CloseMaster();  // unplugged
  std::this_thread::sleep_for(300ms);
  PtyPair replugged;
  ASSERT_TRUE(replugged.Ok());
  loop.Link(replugged);

  const std::size_t before = loop.harness().decoders().Frames().size();
  bool framed = false;
  for (int attempt = 0; attempt < 100 && !framed; ++attempt) {
    replugged.WriteToMaster(sentence);
    framed = loop.harness().decoders().WaitForFrames(before + 1, 50ms);
  }
  EXPECT_TRUE(framed);
  EXPECT_TRUE(loop.harness().shared().lifecycle.AcquisitionRunning);
}

TEST(ReceiveLoopOnPty, PendingCommandReachesTheReceiver) {
  PtyLoop loop(core::kProtocolNmea4800);
  ASSERT_TRUE(loop.pty().Ok());
  ASSERT_TRUE(loop.WaitUntilReading("$GPGGA,1*00\r\n"));
  const std::string command = "$PGRMC1,1,1*6D\r\n";
  ASSERT_TRUE(loop.harness().shared().command.Compose(
      std::vector<std::uint8_t>(command.begin(), command.end())));
  EXPECT_EQ(loop.pty().ReadFromMaster(command.size(), 3s), command);
  EXPECT_EQ(loop.pty().ReadFromMaster(1, 300ms), "");  // sent once
}

}  // namespace
}  // namespace orvik::testing

// PosixSerialLink on real pseudo-terminals: opening, line settings, the
// read time-outs and the queues. The test plays the receiver on the master
// side. Time bounds are tight only from below (shared machine).
#include "platform/posix/posix_serial_link.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/posix/posix_port_fault.h"
#include "serial_link_test_support.h"

namespace orvik::platform::link_test {
namespace {

TEST(PosixSerialLinkTest, NonTerminalsNeverOpenTellWhyAndEveryCallFailsAtOnce) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  const auto file = dir.path() / "COM1";
  std::ofstream(file) << "data";
  std::filesystem::create_directory(dir.path() / "COM2");
  std::filesystem::create_symlink(dir.path() / "ttyUSB7", dir.path() / "COM4");
  const struct {
    std::string path;
    core::PortFault fault;
  } kCases[] = {
      {file.string(), core::PortFault::kNotSerialPort},
      {(dir.path() / "COM2").string(), core::PortFault::kNotSerialPort},
      {(dir.path() / "COM3").string(), core::PortFault::kNoSuchPort},
      {(dir.path() / "COM4").string(), core::PortFault::kNoSuchPort},  // an unplugged adapter
      {"/dev/null", core::PortFault::kNotSerialPort},
  };

  for (const auto& c : kCases) {
    const std::string& path = c.path;
    SCOPED_TRACE(path);
    PosixSerialLink link;
    EXPECT_EQ(link.OpenPort({path, 4800, kTimeouts4800}), PortOpenResult::Failed(c.fault));
    EXPECT_FALSE(link.IsOpen());

    const Clock::time_point start = Clock::now();
    std::uint8_t byte = 0;
    EXPECT_EQ(link.ReadOne(byte), (ReadOutcome{false, 0}));
    std::uint8_t header[4] = {};
    EXPECT_EQ(link.ReadExact(header), (ReadOutcome{false, 0}));
    const std::uint8_t command[] = {'@', '@', 'G', 'b'};
    link.WritePort(command);
    link.Purge(PurgeKind::kClearQueues, {});
    link.Purge(PurgeKind::kAbortAndClear, {});
    link.ClearPortErrors();
    link.PollPortEvents();
    EXPECT_LT(ElapsedMs(start), 50);
  }
  EXPECT_EQ(std::filesystem::file_size(file), 4u);  // nothing was written into the file
}

TEST(PosixSerialLinkTest, OpenErrorsAreSortedIntoWhatTheOperatorIsTold) {
  using core::PortFault;
  const struct {
    int error;
    PortFault fault;
  } kCases[] = {
      {ENOENT, PortFault::kNoSuchPort},    {ENODEV, PortFault::kNoSuchPort},
      {ENXIO, PortFault::kNoSuchPort},     {EIO, PortFault::kNoSuchPort},
      {EBUSY, PortFault::kInUse},          {EACCES, PortFault::kNoPermission},
      {EPERM, PortFault::kNoPermission},   {ENOTTY, PortFault::kNotSerialPort},
      {EISDIR, PortFault::kNotSerialPort},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(PortOpenFailedWithErrno(c.error), PortOpenResult::Failed(c.fault)) << c.error;
  }
  EXPECT_EQ(PortOpenFailedWithErrno(EMFILE),
            PortOpenResult::Failed(PortFault::kOther, "Too many open files"));
}

TEST(PosixSerialLinkTest, OpensRawEightNOneAtTheRequestedSpeed) {
  const struct {
    std::uint32_t baud;
    speed_t speed;
  } kCases[] = {{4800, B4800}, {9600, B9600}, {115200, B115200}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.baud);
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    pty.SetCookedMode();
    PosixSerialLink link;
    link.OpenPort({pty.SlavePath(), c.baud, kTimeouts9600});
    ASSERT_TRUE(link.IsOpen());

    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.SlaveFd(), &tio), 0);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_EQ(tio.c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
    EXPECT_EQ(tio.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | IXON | ISTRIP | BRKINT), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_cc[VMIN], 1);  // with O_NONBLOCK: no data is EAGAIN, never 0
    EXPECT_EQ(tio.c_cc[VTIME], 0);
    EXPECT_EQ(::cfgetispeed(&tio), c.speed);
    EXPECT_EQ(::cfgetospeed(&tio), c.speed);
  }
}

TEST(PosixSerialLinkTest, EveryByteValuePassesUnchangedBothWays) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  pty.SetCookedMode();  // the link must undo echo, translation and signals
  PosixSerialLink link;
  ASSERT_EQ(link.OpenPort({pty.SlavePath(), 9600, kTimeouts9600}), PortOpenResult::Opened());
  ASSERT_TRUE(link.IsOpen());

  std::vector<std::uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  ASSERT_TRUE(pty.WriteToMaster(all));
  std::vector<std::uint8_t> got(256);
  EXPECT_EQ(link.ReadExact(got), (ReadOutcome{true, 256}));
  EXPECT_EQ(got, all);

  link.WritePort(all);
  const std::string written = pty.ReadFromMaster(512, milliseconds(1000));
  EXPECT_EQ(std::vector<std::uint8_t>(written.begin(), written.end()), all);
}

struct FeedStep {
  int delay_ms;  // after the previous step
  std::string bytes;
};

struct TimingCase {
  const char* legend;
  core::SerialTimeouts timeouts;
  std::vector<FeedStep> feed;
  std::size_t n;
  bool ok;
  std::size_t count_min, count_max;
  long min_ms, max_ms;
};

TEST(PosixSerialLinkTest, ReadsEndByTheIntervalAndTotalTimeouts) {
  const TimingCase kCases[] = {
      {"silent line, one byte, 4800 table", kTimeouts4800, {}, 1, false, 0, 0, 117, 1000},
      {"\"@@\" then silence, 4-byte header, 9600 table",
       kTimeouts9600,
       {{0, "@@"}},
       4,
       false,
       2,
       2,
       97,
       1000},
      {"interval counts only after the first byte",
       {20, 0, 300, 0, 0},
       {},
       1,
       false,
       0,
       0,
       297,
       1500},
      {"total grows with the byte count", {0, 50, 0, 0, 0}, {}, 4, false, 0, 0, 197, 1500},
      {"bytes spaced within the interval are all read (no total limit)",
       {200, 0, 0, 0, 0},
       {{40, "a"}, {40, "b"}, {40, "c"}, {40, "d"}, {40, "e"}},
       5,
       true,
       5,
       5,
       0,
       2000},
      {"interval ends a read cut short although the total allows more",
       {60, 0, 5000, 0, 0},
       {{0, "ab"}},
       8,
       false,
       2,
       2,
       57,
       1500},
      {"total ends a read while bytes still trickle in",
       {200, 0, 150, 0, 0},
       {{40, "1"}, {40, "2"}, {40, "3"}, {40, "4"}, {40, "5"}, {40, "6"}, {40, "7"}},
       7,
       false,
       1,
       5,
       147,
       1000},
  };
  for (const TimingCase& c : kCases) {
    SCOPED_TRACE(c.legend);
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    PosixSerialLink link;
    link.OpenPort({pty.SlavePath(), 9600, c.timeouts});
    ASSERT_TRUE(link.IsOpen());

    std::string expected;
    for (const FeedStep& step : c.feed) expected += step.bytes;
    std::vector<std::uint8_t> buffer(c.n);
    const Clock::time_point start = Clock::now();
    std::jthread feeder([&pty, &c] {
      for (const FeedStep& step : c.feed) {
        std::this_thread::sleep_for(milliseconds(step.delay_ms));
        pty.WriteToMaster(step.bytes);
      }
    });
    const ReadOutcome outcome = link.ReadExact(buffer);
    const long elapsed = ElapsedMs(start);
    feeder.join();

    EXPECT_EQ(outcome.ok, c.ok);
    EXPECT_GE(outcome.count, c.count_min);
    EXPECT_LE(outcome.count, c.count_max);
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + static_cast<long>(outcome.count)),
              expected.substr(0, outcome.count));
    EXPECT_GE(elapsed, c.min_ms);
    EXPECT_LT(elapsed, c.max_ms);
    EXPECT_TRUE(link.IsOpen()) << "a time-out is no hang-up";
  }
}

TEST(PosixSerialLinkTest, AwaitInputEndsOnInputNudgeOrCloseElseAtItsLimit) {
  enum class At50ms { kNothing, kBytes, kNudge, kClose };
  struct Case {
    const char* legend;
    bool nudged_before;
    At50ms at_50ms;
    long min_ms;
    long max_ms;
  };
  const Case kCases[] = {
      {"silent line: the limit", false, At50ms::kNothing, 297, 1500},
      {"bytes come", false, At50ms::kBytes, 47, 290},
      {"a nudge", false, At50ms::kNudge, 47, 290},
      {"a nudge given before the wait", true, At50ms::kNothing, 0, 250},
      {"the port closed", false, At50ms::kClose, 47, 290},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.legend);
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    PosixSerialLink link;
    link.OpenPort({pty.SlavePath(), 4800, kTimeouts4800});
    ASSERT_TRUE(link.IsOpen());
    if (c.nudged_before) link.NudgeInputWait();
    const Clock::time_point start = Clock::now();
    std::jthread actor([&] {
      std::this_thread::sleep_for(milliseconds(50));
      if (c.at_50ms == At50ms::kBytes) pty.WriteToMaster("$GP");
      if (c.at_50ms == At50ms::kNudge) link.NudgeInputWait();
      if (c.at_50ms == At50ms::kClose) link.ClosePort();
    });
    link.AwaitInput(milliseconds(300));
    const long elapsed = ElapsedMs(start);
    actor.join();
    EXPECT_GE(elapsed, c.min_ms);
    EXPECT_LT(elapsed, c.max_ms);
    if (c.at_50ms != At50ms::kBytes) continue;
    // The bytes were read as they came: the burst they begin is known, so a
    // message they start can set the clock.
    std::uint8_t three[3] = {};
    EXPECT_EQ(link.ReadExact(three), (ReadOutcome{true, 3}));
    EXPECT_TRUE(link.LastByteTiming().burst_start.has_value());
  }
}

TEST(PosixSerialLinkTest, PurgeAndClearPortErrorsDiscardPendingInput) {
  enum class Op { kPurgeClear, kPurgeAll, kClearErrors };
  // Pending in the driver, or partly read already: the rest sits in the
  // link's own buffer, and goes too.
  for (const bool read_one_first : {false, true})
    for (Op op : {Op::kPurgeClear, Op::kPurgeAll, Op::kClearErrors}) {
      SCOPED_TRACE(static_cast<int>(op) + (read_one_first ? 10 : 0));
      PtyPair pty;
      ASSERT_TRUE(pty.Ok());
      PosixSerialLink link;
      link.OpenPort({pty.SlavePath(), 4800, kTimeouts4800});
      ASSERT_TRUE(link.IsOpen());
      ASSERT_TRUE(pty.WriteToMaster("junk"));
      ASSERT_TRUE(WaitForPending(pty, 4));
      if (read_one_first) {
        std::uint8_t first = 0;
        ASSERT_EQ(link.ReadOne(first), (ReadOutcome{true, 1}));
        ASSERT_EQ(first, 'j');
      }

      switch (op) {
        case Op::kPurgeClear:
          link.Purge(PurgeKind::kClearQueues, {});
          break;
        case Op::kPurgeAll:
          link.Purge(PurgeKind::kAbortAndClear, {});
          break;
        case Op::kClearErrors:
          link.ClearPortErrors();
          break;
      }
      EXPECT_EQ(Pending(pty), 0);
      ASSERT_TRUE(pty.WriteToMaster("Z"));
      std::uint8_t byte = 0;
      EXPECT_EQ(link.ReadOne(byte), (ReadOutcome{true, 1}));
      EXPECT_EQ(byte, 'Z');
    }
}

TEST(PosixSerialLinkTest, PollPortEventsKeepsInputWhenNoBreakWasSeen) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  PosixSerialLink link;
  link.OpenPort({pty.SlavePath(), 9600, kTimeouts9600});
  ASSERT_TRUE(link.IsOpen());
  ASSERT_TRUE(pty.WriteToMaster("@@Hb"));
  ASSERT_TRUE(WaitForPending(pty, 4));
  for (int i = 0; i < 3; ++i) link.PollPortEvents();
  std::uint8_t header[4] = {};
  EXPECT_EQ(link.ReadExact(header), (ReadOutcome{true, 4}));
  EXPECT_EQ(std::string(header, header + 4), "@@Hb");
}

}  // namespace
}  // namespace orvik::platform::link_test

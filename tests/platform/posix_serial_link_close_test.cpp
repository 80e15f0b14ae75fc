// PosixSerialLink on real pseudo-terminals: closing from another thread,
// bounded writes and pauses, and hang-up of the device. Time bounds are
// tight only from below (shared machine).
#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "platform/com_port_path.h"
#include "platform/posix/posix_serial_link.h"
#include "serial_link_test_support.h"

namespace orvik::platform::link_test {
namespace {

TEST(PosixSerialLinkTest, ClosePortFromAnotherThreadEndsABlockedReadAtOnce) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  PosixSerialLink link;
  // No time-outs at all: only ClosePort() can end this read.
  link.OpenPort({pty.SlavePath(), 9600, {0, 0, 0, 0, 0}});
  ASSERT_TRUE(link.IsOpen());
  ASSERT_TRUE(pty.WriteToMaster("@@"));

  auto reader = std::async(std::launch::async, [&link] {
    std::uint8_t header[4] = {};
    const ReadOutcome outcome = link.ReadExact(header);
    return std::make_pair(outcome, Clock::now());
  });
  std::this_thread::sleep_for(milliseconds(100));
  const Clock::time_point closed_at = Clock::now();
  link.ClosePort();
  EXPECT_LT(ElapsedMs(closed_at), 500) << "ClosePort waited for the reader";
  if (reader.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
    ADD_FAILURE() << "ClosePort did not end the read";
    pty.CloseMaster();  // ends the read by a hang-up so the test can finish
  }
  const auto [outcome, ended_at] = reader.get();
  EXPECT_EQ(outcome, (ReadOutcome{false, 2}));
  EXPECT_GE(ended_at, closed_at) << "the read ended before ClosePort";
  EXPECT_LT(ended_at - closed_at, milliseconds(1000));
  EXPECT_FALSE(link.IsOpen());

  // Closed for good: a second close is harmless and nothing works any more.
  link.ClosePort();
  link.OpenPort({pty.SlavePath(), 9600, kTimeouts9600});
  EXPECT_FALSE(link.IsOpen());
  const Clock::time_point start = Clock::now();
  std::uint8_t byte = 0;
  ASSERT_TRUE(pty.WriteToMaster("x"));
  EXPECT_EQ(link.ReadOne(byte), (ReadOutcome{false, 0}));
  link.WritePort(std::vector<std::uint8_t>{'y'});
  link.IdleWait(milliseconds(5000));
  EXPECT_LT(ElapsedMs(start), 100);
  EXPECT_EQ(pty.ReadFromMaster(1, milliseconds(100)), "");
}

TEST(PosixSerialLinkTest, ClosePortEndsAPauseAndABlockedWrite) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  PosixSerialLink link;
  // Write time-outs of zero fall back to a cap of a few seconds.
  link.OpenPort({pty.SlavePath(), 9600, {0, 0, 0, 0, 0}});
  ASSERT_TRUE(link.IsOpen());

  // Nobody reads the master, so a megabyte fills the pty and the write waits.
  auto writer = std::async(std::launch::async, [&link] {
    const std::vector<std::uint8_t> lots(1 << 20, 'w');
    const Clock::time_point start = Clock::now();
    link.WritePort(lots);
    return ElapsedMs(start);
  });
  auto sleeper = std::async(std::launch::async, [&link] {
    const Clock::time_point start = Clock::now();
    link.IdleWait(milliseconds(10000));
    return ElapsedMs(start);
  });
  std::this_thread::sleep_for(milliseconds(150));
  link.ClosePort();
  ASSERT_EQ(writer.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  ASSERT_EQ(sleeper.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_LT(writer.get(), 1500);
  EXPECT_LT(sleeper.get(), 1500);
}

TEST(PosixSerialLinkTest, WriteGivesUpAtItsTotalTimeout) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  PosixSerialLink link;
  link.OpenPort({pty.SlavePath(), 9600, {100, 15, 45, 0, 200}});
  ASSERT_TRUE(link.IsOpen());
  const std::vector<std::uint8_t> lots(1 << 20, 'w');
  const Clock::time_point start = Clock::now();
  link.WritePort(lots);
  const long elapsed = ElapsedMs(start);
  EXPECT_GE(elapsed, 197);
  EXPECT_LT(elapsed, 2000);
  EXPECT_TRUE(link.IsOpen());
}

TEST(PosixSerialLinkTest, IdleWaitSleepsItsDuration) {
  PosixSerialLink link;  // a pause needs no port
  const Clock::time_point start = Clock::now();
  link.IdleWait(milliseconds(100));
  const long elapsed = ElapsedMs(start);
  EXPECT_GE(elapsed, 99);
  EXPECT_LT(elapsed, 1000);
}

TEST(PosixSerialLinkTest, HangUpClosesTheLinkAndALaterOpenWorks) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  auto first = std::make_unique<PtyPair>();
  ASSERT_TRUE(first->Ok());
  std::filesystem::create_symlink(first->SlavePath(), dir.path() / "COM3");
  PosixSerialLink link;
  const core::SerialTimeouts long_total = {0, 0, 5000, 0, 0};
  link.OpenPort({ComDevicePath(3, dir.path()), 9600, long_total});
  ASSERT_TRUE(link.IsOpen());

  auto reader = std::async(std::launch::async, [&link] {
    std::uint8_t header[4] = {};
    const ReadOutcome outcome = link.ReadExact(header);
    return std::make_pair(outcome, Clock::now());
  });
  std::this_thread::sleep_for(milliseconds(100));
  const Clock::time_point hung_up_at = Clock::now();
  first->CloseMaster();  // the receiver is unplugged
  ASSERT_EQ(reader.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  const auto [outcome, ended_at] = reader.get();
  EXPECT_EQ(outcome, (ReadOutcome{false, 0}));
  EXPECT_GE(ended_at, hung_up_at) << "the read ended before the hang-up";
  EXPECT_LT(ended_at - hung_up_at, milliseconds(2000))
      << "the hang-up must end the read, not its 5 s time-out";
  EXPECT_FALSE(link.IsOpen());
  std::uint8_t byte = 0;
  EXPECT_FALSE(link.ReadOne(byte).ok);
  first.reset();

  // The receiver comes back on another device behind the same COM3 entry.
  PtyPair second;
  ASSERT_TRUE(second.Ok());
  std::filesystem::remove(dir.path() / "COM3");
  std::filesystem::create_symlink(second.SlavePath(), dir.path() / "COM3");
  link.OpenPort({ComDevicePath(3, dir.path()), 9600, kTimeouts9600});
  ASSERT_TRUE(link.IsOpen());
  ASSERT_TRUE(second.WriteToMaster("$"));
  EXPECT_EQ(link.ReadOne(byte), (ReadOutcome{true, 1}));
  EXPECT_EQ(byte, '$');
}

}  // namespace
}  // namespace orvik::platform::link_test

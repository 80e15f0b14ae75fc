// Win32SerialLink on a real COM port: scripts/test-windows.sh joins two ptys
// with socat and maps them into the wine prefix as two COM ports, named by
// ORVIK_TEST_COM (the link under test) and ORVIK_TEST_PEER_COM (the other
// end, driven by a second link).
// scripts/test-windows.sh runs this under wine, every wine process under
// setpriv --bounding-set -sys_time, so nothing here can set the clock.
#include "platform/win32/win32_serial_link.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/win32_port_fault.h"

namespace orvik::platform {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

std::optional<std::uint8_t> ComFromEnvironment(const char* variable) {
  const char* value = std::getenv(variable);
  if (value == nullptr) return std::nullopt;
  return static_cast<std::uint8_t>(std::atoi(value));
}

PortConfig Config(std::uint8_t com, core::SerialTimeouts timeouts) {
  return PortConfig{Win32ComDevicePath(com), 9600, timeouts};
}

// Time-outs that end any read in two seconds.
constexpr core::SerialTimeouts kBounded{0, 0, 2000, 0, 2000};

std::vector<std::uint8_t> Bytes(std::size_t count, std::uint8_t first = 0) {
  std::vector<std::uint8_t> bytes(count);
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

class Win32SerialLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto com = ComFromEnvironment("ORVIK_TEST_COM");
    const auto peer_com = ComFromEnvironment("ORVIK_TEST_PEER_COM");
    if (!com || !peer_com) GTEST_SKIP() << "no COM ports mapped for the test";
    com_ = *com;
    peer_.OpenPort(Config(*peer_com, kBounded));
    ASSERT_TRUE(peer_.IsOpen());
    // Whatever an earlier test left on the line is dropped.
    peer_.Purge(PurgeKind::kClearQueues, {});
  }

  void OpenLink(core::SerialTimeouts timeouts) {
    link_.OpenPort(Config(com_, timeouts));
    ASSERT_TRUE(link_.IsOpen());
    link_.Purge(PurgeKind::kClearQueues, {});
  }

  std::uint8_t com_ = 0;
  Win32SerialLink link_;
  Win32SerialLink peer_;
};

TEST_F(Win32SerialLinkTest, BytesTravelBothWaysWhole) {
  OpenLink(kBounded);
  // One byte, one record, and more than the link's receive buffer holds.
  for (const std::size_t size : {std::size_t{1}, std::size_t{39}, std::size_t{5000}}) {
    const std::vector<std::uint8_t> sent = Bytes(size, static_cast<std::uint8_t>(size));
    peer_.WritePort(sent);
    std::vector<std::uint8_t> received(size);
    ASSERT_EQ(link_.ReadExact(received), (ReadOutcome{true, size})) << size;
    EXPECT_EQ(received, sent) << size;
  }

  const std::vector<std::uint8_t> command = Bytes(20, 'A');
  link_.WritePort(command);
  std::vector<std::uint8_t> received(command.size());
  ASSERT_EQ(peer_.ReadExact(received), (ReadOutcome{true, command.size()}));
  EXPECT_EQ(received, command);
}

TEST_F(Win32SerialLinkTest, ABurstAwaitedOnASilentLineHasItsStartAndABacklogHasNone) {
  OpenLink(kBounded);
  // Bytes that were waiting before the read arrived at an unknown time.
  peer_.WritePort(Bytes(4));
  link_.IdleWait(milliseconds(200));
  std::vector<std::uint8_t> received(4);
  ASSERT_TRUE(link_.ReadExact(received).ok);
  EXPECT_FALSE(link_.LastByteTiming().burst_start.has_value());

  // Bytes sent while the read waits are seen as they come.
  std::thread sender([&] {
    std::this_thread::sleep_for(milliseconds(300));
    peer_.WritePort(Bytes(4));
  });
  const core::MonotonicNanos before = link_.LastByteTiming().arrival;
  const bool read = link_.ReadExact(received).ok;
  sender.join();
  ASSERT_TRUE(read);
  const core::ByteTiming timing = link_.LastByteTiming();
  ASSERT_TRUE(timing.burst_start.has_value());
  EXPECT_GT(*timing.burst_start, before);
  EXPECT_LE(*timing.burst_start, timing.arrival);
}

TEST_F(Win32SerialLinkTest, ReadsEndAfterTheirTimeOutsWithWhatArrived) {
  // Silent line: the total time-out ends the read with nothing.
  OpenLink({0, 0, 300, 0, 1000});
  std::vector<std::uint8_t> buffer(10);
  const Clock::time_point start = Clock::now();
  EXPECT_EQ(link_.ReadExact(buffer), (ReadOutcome{false, 0}));
  EXPECT_GE(Clock::now() - start, milliseconds(250));

  // Three bytes, then silence: the interval time-out ends the read with them.
  link_.OpenPort(Config(com_, {100, 0, 0, 0, 1000}));
  ASSERT_TRUE(link_.IsOpen());
  peer_.WritePort(Bytes(3, 7));
  EXPECT_EQ(link_.ReadExact(buffer), (ReadOutcome{false, 3}));
  EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.begin() + 3), Bytes(3, 7));
}

TEST_F(Win32SerialLinkTest, PurgeDropsWhatTheLineDelivered) {
  OpenLink(kBounded);
  peer_.WritePort(Bytes(5, 'a'));
  std::uint8_t first = 0;
  ASSERT_TRUE(link_.ReadOne(first).ok);  // the bytes have reached the port
  link_.IdleWait(milliseconds(200));
  link_.Purge(PurgeKind::kAbortAndClear, {});
  peer_.WritePort(Bytes(3, 'x'));
  std::vector<std::uint8_t> received(3);
  ASSERT_TRUE(link_.ReadExact(received).ok);
  EXPECT_EQ(received, Bytes(3, 'x'));
}

TEST_F(Win32SerialLinkTest, ClosePortFromAnotherThreadEndsAReadWithoutTimeOut) {
  OpenLink({0, 0, 0, 0, 0});  // reads wait for ever
  ReadOutcome outcome{true, 99};
  std::thread reader([&] {
    std::vector<std::uint8_t> buffer(10);
    outcome = link_.ReadExact(buffer);
  });
  std::this_thread::sleep_for(milliseconds(300));  // the read is pending (or not yet begun)
  link_.ClosePort();
  reader.join();
  EXPECT_EQ(outcome, (ReadOutcome{false, 0}));
  EXPECT_FALSE(link_.IsOpen());
  std::uint8_t byte = 0;
  EXPECT_FALSE(link_.ReadOne(byte).ok);
  link_.OpenPort(Config(com_, kBounded));  // closed for good
  EXPECT_FALSE(link_.IsOpen());
}

// Wine lets a second handle open a COM port that one already holds, so the
// sorting of Windows' answer to that (ERROR_ACCESS_DENIED) is tested as a table.
TEST(Win32SerialLinkOpenTest, OpenErrorsAreSortedIntoWhatTheOperatorIsTold) {
  using core::PortFault;
  const struct {
    DWORD error;
    PortFault fault;
  } kCases[] = {
      {ERROR_FILE_NOT_FOUND, PortFault::kNoSuchPort},
      {ERROR_PATH_NOT_FOUND, PortFault::kNoSuchPort},
      {ERROR_DEVICE_NOT_CONNECTED, PortFault::kNoSuchPort},
      {ERROR_ACCESS_DENIED, PortFault::kInUse},
      {ERROR_SHARING_VIOLATION, PortFault::kInUse},
      {ERROR_INVALID_FUNCTION, PortFault::kNotSerialPort},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(PortOpenFailedWithError(c.error), PortOpenResult::Failed(c.fault)) << c.error;
  }
  const PortOpenResult other = PortOpenFailedWithError(ERROR_GEN_FAILURE);
  ASSERT_FALSE(other.ok());
  EXPECT_EQ(other.failure->fault, PortFault::kOther);
  EXPECT_FALSE(other.failure->system_text.empty());
}

TEST(Win32SerialLinkOpenTest, PortsThatAreNoCommunicationDeviceStayClosedAndTellWhy) {
  Win32SerialLink link;
  const struct {
    const char* path;
    core::PortFault fault;
  } kCases[] = {{"\\\\.\\COM99", core::PortFault::kNoSuchPort},
                {"NUL", core::PortFault::kNotSerialPort},
                {"", core::PortFault::kNoSuchPort}};
  for (const auto& c : kCases) {
    const PortOpenResult result = link.OpenPort(PortConfig{c.path, 4800, kBounded});
    ASSERT_FALSE(result.ok()) << c.path;
    EXPECT_EQ(result.failure->fault, c.fault) << c.path << ": " << result.failure->system_text;
    EXPECT_FALSE(link.IsOpen()) << c.path;
  }
  EXPECT_EQ(Win32ComDevicePath(12), "\\\\.\\COM12");
}

}  // namespace
}  // namespace orvik::platform

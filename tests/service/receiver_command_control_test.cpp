// The GMT offset and interval commands as the main thread composes them, and
// their way through the hand-over to a real acquisition thread on a fake line.
#include "service/receiver_command_control.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <future>
#include <string>
#include <vector>

#include "fakes/fake_system_clock.h"
#include "support/acquisition_harness.h"
#include "support/wait_until.h"

namespace orvik::testing {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

constexpr auto kWait = 5s;  // generous bound for anything that should be quick

// Defaults plus summer time on, with the last Sundays of March and October 2026.
core::Settings SummerSettings(std::int32_t protocol) {
  core::Settings settings;
  settings.Protocol = protocol;
  settings.SummerTime = true;
  settings.SummerDay = 29;
  settings.ZoneDay = 25;
  return settings;
}

constexpr core::DateTime kJuly{2026, 7, 3, 15, 12, 0, 0, 0};
constexpr core::DateTime kJanuary{2026, 1, 4, 15, 12, 0, 0, 0};

Bytes Pending(service::SharedState& shared) { return shared.command.Take().value_or(Bytes{}); }

std::string AsText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(GmtOffsetClick, NmeaSetsTheSummerHourAndComposesNothing) {
  for (const std::int32_t protocol : {core::kProtocolNmea4800, core::kProtocolNmea9600}) {
    SCOPED_TRACE(protocol);
    FakeSystemClock clock;
    service::SharedState shared;
    bool summer = false;
    ASSERT_TRUE(
        service::GMT_offsetClick(SummerSettings(protocol), kJuly, clock, shared, summer).ok());
    EXPECT_TRUE(summer);
    EXPECT_EQ(shared.SummerHours.load(), 1);
    EXPECT_EQ(shared.command.CommandLength(), 0u);

    ASSERT_TRUE(
        service::GMT_offsetClick(SummerSettings(protocol), kJanuary, clock, shared, summer).ok());
    EXPECT_FALSE(summer);
    EXPECT_EQ(shared.SummerHours.load(), 0);
    EXPECT_EQ(shared.command.CommandLength(), 0u);
  }
}

TEST(GmtOffsetClick, M12JudgesSummerOnPcNowButSendsAFreshClockReading) {
  // PcNow is the reading from before the switch's wait: 02:59:59 on the last
  // Sunday of March, not yet summer time. The clock has moved on since; the
  // command carries the fresh reading in the new local time (UTC + 2 h).
  FakeSystemClock clock(core::DateTime{2026, 12, 1, 7, 11, 5, 0, 0});
  service::SharedState shared;
  bool summer = true;
  const core::DateTime pc_now{2026, 3, 0, 29, 2, 59, 59, 0};
  ASSERT_TRUE(service::GMT_offsetClick(SummerSettings(core::kProtocolMotorolaM12), pc_now, clock,
                                       shared, summer)
                  .ok());
  EXPECT_FALSE(summer);
  EXPECT_EQ(shared.SummerHours.load(), 0);
  EXPECT_EQ(Pending(shared),
            (Bytes{64, 64, 71, 98, 12, 7, 7, 234, 13, 5, 0, 0, 2, 0, 201, 13, 10}));
  EXPECT_EQ(shared.LocalOffsetMinutes.load(), 120);

  // At 03:00 summer time has begun: one hour more, and the checksum follows
  // (UTC 10:13:05 is 13:13:05 in summer time).
  clock.SetNow(core::DateTime{2026, 12, 1, 7, 10, 5, 0, 0});
  ASSERT_TRUE(service::GMT_offsetClick(SummerSettings(core::kProtocolMotorolaM12),
                                       core::DateTime{2026, 3, 0, 29, 3, 0, 0, 0}, clock, shared,
                                       summer)
                  .ok());
  EXPECT_TRUE(summer);
  EXPECT_EQ(Pending(shared),
            (Bytes{64, 64, 71, 98, 12, 7, 7, 234, 13, 5, 0, 0, 3, 0, 200, 13, 10}));
  EXPECT_EQ(shared.SummerHours.load(), 0) << "the M12 applies the summer hour itself";
  EXPECT_EQ(shared.LocalOffsetMinutes.load(), 180);
}

TEST(GmtOffsetClick, OncoreComposesTheOffsetAlone) {
  FakeSystemClock clock;
  service::SharedState shared;
  bool summer = false;
  ASSERT_TRUE(service::GMT_offsetClick(SummerSettings(core::kProtocolMotorolaOncore), kJuly, clock,
                                       shared, summer)
                  .ok());
  EXPECT_TRUE(summer);
  EXPECT_EQ(Pending(shared), (Bytes{64, 64, 65, 98, 0, 3, 0, 32, 13, 10}));
  EXPECT_EQ(shared.SummerHours.load(), 0);
}

TEST(GmtOffsetClick, OffsetTheCommandCannotCarryIsReportedAndLeavesThePendingCommand) {
  FakeSystemClock clock;
  service::SharedState shared;
  core::Settings settings = SummerSettings(core::kProtocolMotorolaOncore);
  ASSERT_TRUE(service::Continuous_1sClick(settings, shared).ok());
  settings.GmtHours = 300;
  bool summer = false;
  const core::Status status = service::GMT_offsetClick(settings, kJuly, clock, shared, summer);
  EXPECT_EQ(status.code(), core::StatusCode::kInvalidArgument);
  EXPECT_EQ(status.message(), "The receiver cannot take a GMT offset of 301 hours (0 to 255).");
  EXPECT_TRUE(summer) << "the summer state is stored all the same";
  EXPECT_EQ(Pending(shared), (Bytes{64, 64, 69, 97, 1, 37, 13, 10}));
}

TEST(Continuous1sClick, ComposesTheIntervalCommandOfEachProtocol) {
  struct Case {
    std::int32_t protocol;
    Bytes expected;
  };
  const std::string nmea = "$PGRMC1,1,,,,,,,,,,,,,*4B\r\n";
  const Case cases[] = {
      {core::kProtocolNmea4800, Bytes(nmea.begin(), nmea.end())},
      {core::kProtocolNmea9600, Bytes(nmea.begin(), nmea.end())},
      {core::kProtocolMotorolaM12, {64, 64, 72, 98, 1, 43, 13, 10}},
      {core::kProtocolMotorolaOncore, {64, 64, 69, 97, 1, 37, 13, 10}},
  };
  for (const Case& c : cases) {
    service::SharedState shared;
    core::Settings settings;
    settings.Protocol = c.protocol;
    ASSERT_TRUE(service::Continuous_1sClick(settings, shared).ok());
    EXPECT_EQ(Pending(shared), c.expected) << c.protocol;
  }
}

TEST(Continuous1sClick, IntervalTheCommandCannotCarryIsReportedAndNothingComposed) {
  service::SharedState shared;
  core::Settings settings;
  settings.TransmitInterval = 1000;
  const core::Status status = service::Continuous_1sClick(settings, shared);
  EXPECT_EQ(status.message(),
            "The receiver cannot take a transmission interval of 1000 seconds (1 to 900).");
  EXPECT_EQ(shared.command.CommandLength(), 0u);
}

bool WaitForWritten(const FakeSerialLink& fake, const std::string& expected) {
  return WaitUntil([&] { return fake.Written() == expected; }, kWait);
}

// Waits for three more receive steps (each reads a four-byte Motorola header).
bool WaitForMorePasses(const FakeSerialLink& fake) {
  const int before = fake.Count("read4");
  return WaitUntil([&] { return fake.Count("read4") >= before + 3; }, kWait);
}

TEST(ReceiverCommandHandOver, ComposedBeforeTheThreadIsDroppedAndWhileItRunsIsSentOnce) {
  AcquisitionHarness harness;
  harness.settings().Protocol = core::kProtocolMotorolaOncore;
  FakeSerialLink& fake = harness.fake();
  ASSERT_TRUE(service::Continuous_1sClick(harness.settings(), harness.shared()).ok());
  harness.Start();
  ASSERT_TRUE(fake.WaitForStarvedReads(2, kWait));
  EXPECT_EQ(fake.Written(), "") << "composed before the thread started";

  FakeSystemClock clock;
  bool summer = false;
  ASSERT_TRUE(
      service::GMT_offsetClick(harness.settings(), kJanuary, clock, harness.shared(), summer).ok());
  const std::string offset = AsText({64, 64, 65, 98, 0, 2, 0, 33, 13, 10});
  EXPECT_TRUE(WaitForWritten(fake, offset));
  ASSERT_TRUE(WaitForMorePasses(fake));
  harness.Stop();
  EXPECT_EQ(fake.Written(), offset) << "sent exactly once";
  EXPECT_EQ(harness.shared().command.CommandLength(), 0u);
}

TEST(ReceiverCommandHandOver, SecondCommandReplacesAnUnsentFirst) {
  AcquisitionHarness harness;
  harness.settings().Protocol = core::kProtocolMotorolaM12;
  FakeSerialLink& fake = harness.fake();
  // The loop pauses for a second after its first purge; the test composes
  // two commands while it waits there, then lets it go on.
  std::promise<void> paused;
  std::promise<void> composed;
  std::shared_future<void> go_on = composed.get_future().share();
  fake.OnIdleWait([&paused, go_on, done = false](std::chrono::milliseconds pause) mutable {
    if (pause != 1000ms || done) return;
    done = true;
    paused.set_value();
    go_on.wait_for(kWait);
  });
  harness.Start();
  ASSERT_EQ(paused.get_future().wait_for(kWait), std::future_status::ready);
  FakeSystemClock clock(core::DateTime{2026, 12, 1, 7, 13, 5, 0, 0});
  bool summer = false;
  ASSERT_TRUE(
      service::GMT_offsetClick(harness.settings(), kJanuary, clock, harness.shared(), summer).ok());
  ASSERT_TRUE(service::Continuous_1sClick(harness.settings(), harness.shared()).ok());
  composed.set_value();

  const std::string interval = AsText({64, 64, 72, 98, 1, 43, 13, 10});
  EXPECT_TRUE(WaitForWritten(fake, interval));
  ASSERT_TRUE(WaitForMorePasses(fake));
  harness.Stop();
  EXPECT_EQ(fake.Written(), interval) << "the replaced offset command is never sent";
}

}  // namespace
}  // namespace orvik::testing

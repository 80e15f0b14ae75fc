// The receiver commands and the rejection of damaged messages end to end:
// the real simulator program plays a Motorola M12 receiver on a pty, and an
// in-process acquisition thread with the real decoders reads it through
// "COM2". Every wait is bounded; the simulator is ended by its PID.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/receiver_commands.h"
#include "core/settings.h"
#include "core/time_message.h"
#include "core/utc_time.h"
#include "fakes/fake_system_clock.h"
#include "fakes/service/recording_sender.h"
#include "platform/posix/posix_serial_link.h"
#include "service/receiver_command_control.h"
#include "service/receiver_time_keeper.h"
#include "support/acquisition_harness.h"
#include "support/child_process.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace orvik::testing {
namespace {

using namespace std::chrono_literals;

constexpr char kStart[] = "2026-12-07 11:05:00";  // UTC of the first message
constexpr std::int64_t kStartMs = (11 * 60 + 5) * 60'000;
constexpr std::int64_t kStepMs = 250;  // --interval 0.25
constexpr std::int64_t kTwoHoursMs = 2 * 3'600'000;
constexpr core::DateTime kPcNow{2026, 12, 1, 7, 8, 0, 0, 0};

// The simulator on "COM2" in a temporary folder, and an acquisition thread
// for the M12 reading it with the real decoders, a fake clock and a
// recording sender.
class SimulatedM12 {
 public:
  explicit SimulatedM12(const std::vector<std::string>& extra_args,
                        std::uint16_t clock_update_interval = 60)
      : sim_(SimOptions(extra_args)),
        clock_(kPcNow),
        decoders_(clock_, platform::MachineMonotonicClock(), sender_,
                  core::SettableSpanFrom(core::DateTime{.year = 2026, .month = 1, .day = 1})) {
    harness_.settings().Protocol = core::kProtocolMotorolaM12;
    harness_.settings().ClockUpdateInterval = clock_update_interval;
    harness_.options().working_dir = dir_.path();
    harness_.UseDecoders(decoders_);
  }

  // Waits for the simulator's start-up line, then starts the thread.
  bool Start() {
    if (!sim_.started()) return false;
    const std::optional<std::string> first = sim_.ReadLine(10s);
    if (!first || first->find(" linked as ") == std::string::npos) return false;
    harness_.Start(std::make_unique<platform::PosixSerialLink>());
    return true;
  }

  ChildProcess& sim() { return sim_; }
  AcquisitionHarness& harness() { return harness_; }
  FakeSystemClock& clock() { return clock_; }
  RecordingSender& sender() { return sender_; }

 private:
  ProcessOptions SimOptions(const std::vector<std::string>& extra) const {
    ProcessOptions options;
    options.argv = {GPSTIME_SIM_PATH, "--dir",      dir_.path(), "--protocol", "m12", "--start",
                    kStart,           "--interval", "0.25",      "--duration", "60"};
    options.argv.insert(options.argv.end(), extra.begin(), extra.end());
    options.capture_stdout = true;
    return options;
  }

  TempDir dir_;  // first: the simulator links its port in it
  ChildProcess sim_;
  FakeSystemClock clock_;
  RecordingSender sender_;
  service::ReceiverTimeKeeper decoders_;
  AcquisitionHarness harness_;  // last: its thread stops before the rest goes
};

// Milliseconds of the day a record carries: its time plus the fraction the
// receiver sent in data bytes 7-10 (nanoseconds, most significant first).
std::int64_t LocalMs(const core::TimeMessage& r) {
  const std::uint32_t ns = static_cast<std::uint32_t>(r[7]) << 24 | r[8] << 16 | r[9] << 8 | r[10];
  return ((r[core::kOffsetHour] * 60 + r[core::kOffsetMinute]) * 60 + r[core::kOffsetSecond]) *
             1000LL +
         ns / 1'000'000;
}

std::string TimeTextOf(const core::TimeMessage& r) {
  return std::to_string(r[core::kOffsetHour]) + ":" + std::to_string(r[core::kOffsetMinute]) + ":" +
         std::to_string(r[core::kOffsetSecond]);
}

TEST(ReceiverCommandsWithSimulator, GmtOffsetMovesTheReceiversTimeAndTheDecodedTime) {
  SimulatedM12 m12({});
  ASSERT_TRUE(m12.Start());
  ASSERT_TRUE(m12.sender().WaitForRecords(3, 20s)) << "no messages from the simulator";

  core::Settings settings = m12.harness().settings();
  settings.GmtHours = 2;
  bool summer = true;
  const core::Status status =
      service::GMT_offsetClick(settings, core::DateTimeAt(m12.clock().NowUtc()).value(),
                               m12.clock(), m12.harness().shared(), summer);
  ASSERT_TRUE(status.ok()) << status.ToString();
  EXPECT_FALSE(summer) << "SummerTime is off";

  const auto shifted = [](const core::TimeMessage& r) {
    return LocalMs(r) >= kStartMs + kTwoHoursMs;
  };
  const auto three_shifted = [&] {
    int count = 0;
    for (const core::TimeMessage& r : m12.sender().Records()) count += shifted(r) ? 1 : 0;
    return count >= 3;
  };
  ASSERT_TRUE(WaitUntil(three_shifted, 20s)) << "the offset never reached the messages";
  m12.harness().Stop();

  const std::vector<core::TimeMessage> records = m12.sender().Records();
  ASSERT_GE(records.size(), 6u);
  bool offset_seen = false;
  std::optional<std::int64_t> previous_utc;
  for (std::size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE("record " + std::to_string(i) + ": " + TimeTextOf(records[i]));
    const core::TimeMessage& r = records[i];
    EXPECT_EQ(r[core::kOffsetMonth], 12);
    EXPECT_EQ(r[core::kOffsetDay], 7);
    // Before the command the receiver keeps UTC; after it, UTC + 2 hours,
    // and it stays there.
    EXPECT_TRUE(!offset_seen || shifted(r));
    offset_seen = offset_seen || shifted(r);
    const std::int64_t utc = LocalMs(r) - (shifted(r) ? kTwoHoursMs : 0);
    EXPECT_GE(utc, kStartMs);
    EXPECT_LT(utc, kStartMs + 60'000);
    EXPECT_EQ((utc - kStartMs) % kStepMs, 0) << "moved by exactly the offset";
    if (previous_utc) {
      EXPECT_GT(utc, *previous_utc);
    }
    previous_utc = utc;
  }
  EXPECT_FALSE(shifted(records.front()));
  EXPECT_EQ(m12.harness().shared().display.Texts().TimeText, TimeTextOf(records.back()));
  EXPECT_TRUE(TimeTextOf(records.back()).starts_with("13:5:"));

  // The simulator saw the 17-byte command carrying the PC clock's date.
  std::vector<std::string> lines;
  for (int i = 0; i < 400; ++i) {
    const std::optional<std::string> line = m12.sim().ReadLine(5s);
    if (!line) break;
    lines.push_back(*line);
    if (line->starts_with("  obeyed: Motorola times are now UTC")) break;
  }
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.back(), "  obeyed: Motorola times are now UTC+2:00");
  const std::string& command = lines[lines.size() - 2];
  // The PC's date and time in the program's local time (the fake clock's UTC + 2 h).
  EXPECT_TRUE(command.starts_with("command: @@Gb 2026-12-07 10:00:")) << command;
  EXPECT_TRUE(command.ends_with(" GMT offset +2:00 (17 bytes, checksum ok)")) << command;
}

TEST(ReceiverCommandsWithSimulator, DamagedMessagesAreNeverSentAndNeverSetTheClock) {
  // Interval 0: every accepted message sets the clock, once the receiver has
  // surely applied the offset of the first command (UTC+0:00 here).
  SimulatedM12 m12({"--corrupt", "checksum", "--corrupt-every", "3", "--quiet"},
                   /*clock_update_interval=*/0);
  core::Settings utc = m12.harness().settings();
  utc.GmtHours = 0;
  m12.harness().options().first_command =
      core::ComposeGmtOffsetCommand(utc, false, core::DateTimeAt(m12.clock().NowUtc()).value())
          .value();
  ASSERT_TRUE(m12.Start());
  bool rejection_shown = false;
  const bool enough = WaitUntil(
      [&] {
        rejection_shown =
            rejection_shown || m12.harness().shared().display.Texts().TimeText == "--------";
        return m12.clock().SetCalls().size() >= 10;
      },
      30s);
  m12.harness().Stop();
  ASSERT_TRUE(enough) << "too few messages from the simulator";

  // The simulator numbers its messages from 1 at the start time; every third
  // one goes out with a wrong checksum.
  const std::vector<core::TimeMessage> records = m12.sender().Records();
  std::vector<std::int64_t> numbers;
  for (const core::TimeMessage& r : records)
    numbers.push_back((LocalMs(r) - kStartMs) / kStepMs + 1);
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    SCOPED_TRACE("record " + std::to_string(i) + " is message " + std::to_string(numbers[i]));
    EXPECT_NE(numbers[i] % 3, 0) << "a damaged message was sent";
    if (i > 0) {
      // No intact message is lost next to a damaged one.
      const std::int64_t next_intact = numbers[i - 1] + (numbers[i - 1] % 3 == 2 ? 2 : 1);
      EXPECT_EQ(numbers[i], next_intact);
    }
  }
  EXPECT_TRUE(rejection_shown) << "no damaged message was ever seen";

  // Every intact message after the receiver's answer to the command, and
  // nothing else, set the clock, in order: to its UTC plus the few
  // milliseconds since its burst began.
  const std::vector<core::UtcNanos> sets = m12.clock().SetCalls();
  ASSERT_GE(sets.size(), 10u);
  ASSERT_LE(sets.size(), records.size());
  const std::size_t first = records.size() - sets.size();
  for (std::size_t i = 0; i < sets.size(); ++i) {
    const core::TimeMessage& r = records[first + i];
    const core::UtcNanos named = core::UtcNanosOf(core::DateTime{.year = 2026,
                                                                 .month = r[core::kOffsetMonth],
                                                                 .day = r[core::kOffsetDay],
                                                                 .hour = r[core::kOffsetHour],
                                                                 .minute = r[core::kOffsetMinute],
                                                                 .second = r[core::kOffsetSecond]})
                                     .value() +
                                 (LocalMs(r) % 1000) * core::kNanosPerMilli;
    EXPECT_GE(sets[i] - named, 0) << i;
    EXPECT_LT(sets[i] - named, 200 * core::kNanosPerMilli) << i;
  }
}

}  // namespace
}  // namespace orvik::testing

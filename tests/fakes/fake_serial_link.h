// FakeSerialLink: an in-memory SerialLink for tests of the receive loop.
//
// Bytes fed are "on the line", each feed a burst that begins as it is fed
// (or a backlog: bytes whose arrival was not seen); reads take them in order;
// a read that finds too few bytes waits a moment (kStarvedReadWait, standing
// in for the port's time-out) for more, then fails with the count it got.
// Purges discard what is pending. Every operation is recorded in order, so a
// test can check the loop's steps.
// Thread-safe: a test thread may feed or close while the loop reads.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/monotonic_clock.h"
#include "platform/serial_link.h"

namespace orvik::testing {

class FakeSerialLink : public platform::SerialLink {
 public:
  // Adds bytes to the line: a burst that begins as it is fed.
  void Feed(std::string_view bytes);
  // Stamps the arrival of fed bytes from `clock` from now on (the machine's
  // monotonic clock until then); it must outlive the link.
  void UseClock(const platform::MonotonicClock& clock);
  // Makes the next OpenPort() fail as no such port (the port stays closed).
  void FailNextOpen();
  // Makes the next opens fail with these failures, one each, in order.
  void FailNextOpens(std::vector<core::PortOpenFailure> failures);
  // Called at every IdleWait with its duration, after it is recorded; lets a
  // test act at the loop's pauses (feed bytes, request a stop).
  void OnIdleWait(std::function<void(std::chrono::milliseconds)> hook);

  // What happened, in order: "open <path> <baud>", "read1", "read<n>",
  // "write <hex>", "purge-clear", "purge-all", "clear-errors", "poll",
  // "idle <ms>", "await <ms>", "nudge", "close". An await, like a read,
  // waits at most kStarvedReadWait for the line.
  std::vector<std::string> Operations() const;
  // Bytes written to the port, concatenated.
  std::string Written() const;
  // Count of operations equal to `op`.
  int Count(std::string_view op) const;
  // Waits until `count` reads have found the line empty since construction,
  // or until `timeout`; returns whether they did.
  bool WaitForStarvedReads(int count, std::chrono::milliseconds timeout) const;
  // Reads that have found the line empty since construction.
  int StarvedReads() const;

  static constexpr std::chrono::milliseconds kStarvedReadWait{2};

  platform::PortOpenResult OpenPort(const platform::PortConfig& config) override;
  bool IsOpen() const override;
  platform::ReadOutcome ReadExact(std::span<std::uint8_t> buffer) override;
  platform::ReadOutcome ReadOne(std::uint8_t& byte) override;
  void WritePort(std::span<const std::uint8_t> bytes) override;
  std::size_t Purge(platform::PurgeKind kind, std::span<std::uint8_t> tail) override;
  void ClearPortErrors() override;
  void PollPortEvents() override;
  void IdleWait(std::chrono::milliseconds duration) override;
  void AwaitInput(std::chrono::milliseconds limit) override;
  void NudgeInputWait() override;
  core::ByteTiming LastByteTiming() const override;
  void ClosePort() override;

 private:
  void FeedWithTiming(std::string_view bytes, bool live);
  void AppendToLine(std::string_view bytes, bool live);  // REQUIRES: mutex_ held
  platform::ReadOutcome Take(std::span<std::uint8_t> buffer, std::unique_lock<std::mutex>& lock);

  mutable std::mutex mutex_;
  const platform::MonotonicClock* clock_ = &platform::MachineMonotonicClock();  // guarded by mutex_
  mutable std::condition_variable changed_;          // line_, open_ or starved_reads_ changed
  int starved_reads_ = 0;                            // guarded by mutex_
  std::deque<std::uint8_t> line_;                    // guarded by mutex_
  std::deque<core::ByteTiming> timings_;             // of each byte in line_; guarded by mutex_
  std::uint64_t feeds_ = 0;                          // guarded by mutex_
  core::ByteTiming last_timing_;                     // of the byte read last; guarded by mutex_
  std::vector<std::string> operations_;              // guarded by mutex_
  std::string written_;                              // guarded by mutex_
  bool open_ = false;                                // guarded by mutex_
  bool closed_for_good_ = false;                     // guarded by mutex_
  std::deque<core::PortOpenFailure> open_failures_;  // for the next opens; guarded by mutex_
  bool nudged_ = false;                              // guarded by mutex_
  std::function<void(std::chrono::milliseconds)> idle_hook_;  // set before use
};

}  // namespace orvik::testing

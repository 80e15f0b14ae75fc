// ScriptedLine: a serial line whose bytes arrive at scheduled instants of a
// FakeSystemClock, read by the receive loop in virtual time.
//
// The test schedules the receiver's output (bursts at a line rate, clumps,
// silences) before the loop starts. Every wait of the loop (a read's
// time-outs, a pause, a wait for input) moves the fake clock, both its
// monotonic and its real time, straight to the next arrival or to the end
// of the wait, so seconds of line time take microseconds and nothing
// sleeps. Reads behave as the POSIX link's: what has arrived is taken as
// one chunk; a read that must wait for more ends by the port's interval and
// total time-outs. Every chunk is reported to a BurstTracker, as a real link
// does, so the timing rules above the link see what they would see on a
// real line.
//
// Once the script's end is reached, every wait blocks (in real time) until
// ClosePort(): the test then looks at what the loop made of the line.
// Threads: schedule before the loop starts; the loop's thread calls the
// operations; Done()/WaitUntilDone() and ClosePort() from any thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/burst_tracker.h"
#include "core/port_settings.h"
#include "fakes/fake_system_clock.h"
#include "platform/serial_link.h"

namespace orvik::testing {

class ScriptedLine : public platform::SerialLink {
 public:
  // REQUIRES: `clock` outlives the line; nothing else moves it meanwhile.
  explicit ScriptedLine(FakeSystemClock& clock) : clock_(clock) {}

  // Bytes that go over the line one character after another at `baud`
  // (8N1), the first completing one character after `start`; they are
  // handed over `clump` at a time, each clump once its last byte completed
  // (1: every byte as it comes; 62: a USB adapter's packets). Returns the
  // instant the last byte completes.
  core::MonotonicNanos AtLineRate(core::MonotonicNanos start, std::string_view bytes,
                                  std::uint32_t baud, std::size_t clump = 1);
  // Bytes handed over all at once at `at` (a USB adapter's packet, a
  // backlog).
  void AllAt(core::MonotonicNanos at, std::string_view bytes);
  // The script ends at `at`: from then on the loop's waits block. REQUIRES:
  // called before the loop starts (without an end, its first wait ends it).
  void EndAt(core::MonotonicNanos at);

  // Any thread: true once the loop reached the end of the script.
  bool Done() const;
  bool WaitUntilDone(std::chrono::milliseconds real_limit) const;
  // Bytes written to the port, concatenated.
  std::string Written() const;

  platform::PortOpenResult OpenPort(const platform::PortConfig& config) override;
  bool IsOpen() const override;
  platform::ReadOutcome ReadExact(std::span<std::uint8_t> buffer) override;
  platform::ReadOutcome ReadOne(std::uint8_t& byte) override;
  void WritePort(std::span<const std::uint8_t> bytes) override;
  std::size_t Purge(platform::PurgeKind kind, std::span<std::uint8_t> tail) override;
  void ClearPortErrors() override {}
  void PollPortEvents() override {}
  core::ByteTiming LastByteTiming() const override;
  void IdleWait(std::chrono::milliseconds duration) override;
  void AwaitInput(std::chrono::milliseconds limit) override;
  void NudgeInputWait() override;
  void ClosePort() override;

 private:
  struct Arrival {
    core::MonotonicNanos at;
    std::uint8_t byte;
  };

  // REQUIRES: mutex_ held (for all below).
  core::MonotonicNanos Now() const { return clock_.NowMonotonic(); }
  // Moves virtual time to `to`; false when the script ended first (the
  // wait then blocked until the line was closed).
  bool AdvanceTo(core::MonotonicNanos to, std::unique_lock<std::mutex>& lock);
  // Reads every byte that has arrived into rx_ as one chunk; false if none.
  bool ReadChunk(bool prompt);
  std::size_t TakeBuffered(std::span<std::uint8_t> out);
  std::optional<core::MonotonicNanos> NextArrival() const;
  void Insert(core::MonotonicNanos at, std::uint8_t byte);

  FakeSystemClock& clock_;
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::deque<Arrival> line_;  // by arrival time
  std::string rx_;            // read from the line, not yet handed out
  std::optional<core::MonotonicNanos> end_at_;
  bool done_ = false;
  bool open_ = false;
  bool closed_ = false;
  bool nudged_ = false;
  core::SerialTimeouts timeouts_;
  core::BurstTracker bursts_{0};
  std::string written_;
};

}  // namespace orvik::testing

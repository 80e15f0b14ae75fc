// PosixSerialLink: the receiver port on a POSIX terminal device (a serial
// port, a USB adapter, a pty).
//
// The port is opened non-blocking in raw 8N1 mode; every wait is a poll()
// against a CLOCK_MONOTONIC deadline computed from the port's time-outs, and
// it also watches a wake descriptor (an eventfd) that ClosePort() signals.
// What the line delivers is read into a buffer of the link's own, as much as
// the driver holds at once, and handed out from there; the time-outs govern
// only the waits for bytes that have not arrived yet, and a purge empties the
// buffer too. Every chunk read is reported to a BurstTracker, which keeps the
// start of the receiver's current burst (LastByteTiming).
// A hang-up of the device (read() returning 0, EIO, POLLHUP or POLLERR)
// closes the descriptor; a later OpenPort() may open the port again.
//
// Threads: one owning thread (the acquisition thread) calls every operation;
// ClosePort() and IsOpen() may also be called from any other thread at any
// time. ClosePort() never closes the descriptor while another thread is
// using it: it wakes that thread and waits for it to let go.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>

#include "core/burst_tracker.h"
#include "core/port_settings.h"
#include "core/tail_keeper.h"
#include "platform/monotonic_clock.h"
#include "platform/posix/unique_fd.h"
#include "platform/serial_link.h"

namespace orvik::platform {

class PosixSerialLink : public SerialLink {
 public:
  // `clock` stamps the arrival of received bytes; it must outlive the link.
  explicit PosixSerialLink(const MonotonicClock& clock = MachineMonotonicClock());
  ~PosixSerialLink() override;

  PosixSerialLink(const PosixSerialLink&) = delete;
  PosixSerialLink& operator=(const PosixSerialLink&) = delete;

  // Opens config.device_path, which must be a terminal, and configures it.
  // Any port open before is closed first. Does nothing after ClosePort().
  // A failure is sorted from errno (platform/posix/posix_port_fault.h).
  PortOpenResult OpenPort(const PortConfig& config) override;
  // True while a usable port is open. Any thread.
  bool IsOpen() const override;
  // Reads until buffer is full or a time-out ends the read; ok when full.
  // With all three read time-outs zero it waits until the bytes arrive, the
  // device hangs up or ClosePort() is called.
  ReadOutcome ReadExact(std::span<std::uint8_t> buffer) override;
  // ReadExact of one byte.
  ReadOutcome ReadOne(std::uint8_t& byte) override;
  // Writes the bytes, bounded by the write time-outs (a few seconds when
  // both are zero); what could not be written in time is dropped.
  void WritePort(std::span<const std::uint8_t> bytes) override;
  // Discards the link's buffer and both queues (a terminal has no pending
  // transfers to abort), keeping the last input bytes in `tail`.
  std::size_t Purge(PurgeKind kind, std::span<std::uint8_t> tail) override;
  // Ends a break sent on the line and discards both queues.
  void ClearPortErrors() override;
  // Never blocks: when the driver counts breaks and the count rose since the
  // last poll, runs ClearPortErrors().
  void PollPortEvents() override;
  // The timing of the byte most recently handed out.
  core::ByteTiming LastByteTiming() const override;
  // Sleeps for `duration`; returns at once once ClosePort() has been called.
  void IdleWait(std::chrono::milliseconds duration) override;
  void AwaitInput(std::chrono::milliseconds limit) override;
  void NudgeInputWait() override;
  // Any thread, any number of times: ends a wait in progress in failure,
  // closes the port and keeps the link closed for good.
  void ClosePort() override;

 private:
  enum class WaitResult { kReady, kTimedOut, kWoken, kHungUp };

  // Waits until the port reports `events` or `deadline` passes (none: no
  // limit). REQUIRES: io_mutex_ held, port_fd_ valid.
  WaitResult WaitForPort(short events,
                         std::optional<std::chrono::steady_clock::time_point> deadline);
  // Closes the port descriptor after a hang-up or on close.
  // REQUIRES: io_mutex_ held.
  void ReleasePort();
  // True when the port may be used. REQUIRES: io_mutex_ held.
  bool Usable() const;
  // Discards the link's buffer and both queues; the input discarded goes
  // through `discarded`. REQUIRES: io_mutex_ held.
  void FlushQueues(core::TailKeeper& discarded);
  // Ends a break sent on the line and discards both queues.
  // REQUIRES: io_mutex_ held, port_fd_ valid.
  void ClearErrorsLocked();
  // Copies buffered bytes into `out`; returns how many. REQUIRES: io_mutex_ held.
  std::size_t TakeBuffered(std::span<std::uint8_t> out);
  // One read() of what the line has into the empty buffer, told to the burst
  // tracker (`prompt`: the link waited for it); a device gone is released.
  enum class ChunkRead { kGot, kNone, kGone };
  ChunkRead ReadChunk(bool prompt);
  // Clears errors when the driver counted a break since it was last asked.
  // REQUIRES: io_mutex_ held, port_fd_ valid.
  void ClearErrorsAfterBreak();
  // Reads the driver's break count, if it keeps one. REQUIRES: io_mutex_ held.
  std::optional<std::uint32_t> ReadBreakCount() const;

  const MonotonicClock& clock_;
  // Signalled once by ClosePort() and never drained, so every later wait
  // ends at once. Created by the constructor, closed by the destructor.
  const UniqueFd wake_fd_;
  // Signalled by NudgeInputWait(); read (reset) by AwaitInput().
  const UniqueFd nudge_fd_;
  // Set by ClosePort() before it wakes the owning thread.
  std::atomic<bool> closed_for_good_{false};
  // Mirrors port_fd_.valid() for IsOpen() from other threads.
  std::atomic<bool> open_{false};

  // Held by every port operation for its whole duration, and by ClosePort()
  // while it closes the descriptor. Guards port_fd_, timeouts_,
  // last_break_count_ and counts_breaks_.
  mutable std::mutex io_mutex_;
  UniqueFd port_fd_;                               // guarded by io_mutex_
  core::SerialTimeouts timeouts_;                  // guarded by io_mutex_
  std::optional<std::uint32_t> last_break_count_;  // guarded by io_mutex_
  bool counts_breaks_ = false;  // the driver answered the break count at open; io_mutex_
  // Received bytes not yet handed out: rx_[rx_begin_, rx_end_).
  std::array<std::uint8_t, 4096> rx_{};  // guarded by io_mutex_
  std::size_t rx_begin_ = 0;             // guarded by io_mutex_
  std::size_t rx_end_ = 0;               // guarded by io_mutex_
  // Bytes were written since the queues were last flushed: only then can the
  // output queue hold anything to discard.
  bool output_since_flush_ = false;  // guarded by io_mutex_
  core::BurstTracker bursts_{0};     // guarded by io_mutex_
};

}  // namespace orvik::platform

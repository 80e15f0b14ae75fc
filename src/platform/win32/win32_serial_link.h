// Win32SerialLink: the receiver port on a Windows COM port
// (CreateFileA("\\.\COM<n>"), overlapped I/O).
//
// The port is opened 8N1 at the configured baud with the COMMTIMEOUTS of the
// port's time-outs. What the line delivers is read into a buffer of the
// link's own, as much as the driver holds at once (ClearCommError tells how
// much), and handed out from there; when nothing is held the link reads one
// byte with the port's time-outs, so the first byte of a burst is seen as it
// arrives. The read limits of ReadExact (total from the start, interval from
// the latest byte) are kept by the link's own deadlines, like the POSIX link.
// Every chunk read is reported to a BurstTracker, which keeps the start of the
// receiver's current burst (LastByteTiming). A read that times out is "no
// data": TRUE with 0 bytes on Windows, ERROR_TIMEOUT under wine. Any other
// failed read or write (the device is gone: an unplugged adapter, a closed
// pty under wine) closes the handle; a later OpenPort() may open it again.
//
// Threads: one owning thread (the acquisition thread) calls every operation;
// ClosePort() and IsOpen() may also be called from any other thread at any
// time. ClosePort() signals an event that every wait of the owning thread
// watches; the waiting thread cancels its transfer and lets go of the port,
// and only then is the handle closed.
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "core/burst_tracker.h"
#include "core/port_settings.h"
#include "core/tail_keeper.h"
#include "platform/monotonic_clock.h"
#include "platform/serial_link.h"
#include "platform/win32/unique_handle.h"

namespace orvik::platform {

// The device name of COM port `com_number` for CreateFileA: "\\.\COM<n>"
// (the prefix makes COM10 and above work too).
std::string Win32ComDevicePath(std::uint8_t com_number);

class Win32SerialLink : public SerialLink {
 public:
  // `clock` stamps the arrival of received bytes; it must outlive the link.
  explicit Win32SerialLink(const MonotonicClock& clock = MachineMonotonicClock());
  ~Win32SerialLink() override;

  Win32SerialLink(const Win32SerialLink&) = delete;
  Win32SerialLink& operator=(const Win32SerialLink&) = delete;

  // Opens config.device_path (e.g. Win32ComDevicePath(2)), which must be a
  // communications device, and configures it. Any port open before is
  // closed first. Does nothing after ClosePort(). A failure is sorted from
  // GetLastError() (platform/win32/win32_port_fault.h).
  PortOpenResult OpenPort(const PortConfig& config) override;
  // True while a usable port is open. Any thread.
  bool IsOpen() const override;
  // Reads until buffer is full or a time-out ends the read; ok when full.
  // With all three read time-outs zero it waits until the bytes arrive, the
  // device fails or ClosePort() is called.
  ReadOutcome ReadExact(std::span<std::uint8_t> buffer) override;
  // ReadExact of one byte.
  ReadOutcome ReadOne(std::uint8_t& byte) override;
  // Writes the bytes, bounded by the write time-outs (a few seconds when
  // both are zero); what could not be written in time is dropped.
  void WritePort(std::span<const std::uint8_t> bytes) override;
  // PurgeComm: discards both queues; kAbortAndClear also aborts transfers.
  std::size_t Purge(PurgeKind kind, std::span<std::uint8_t> tail) override;
  // Ends a break sent on the line, clears the line errors (ClearCommError)
  // and discards both queues.
  void ClearPortErrors() override;
  // Never blocks: when the driver reported a break (CE_BREAK) since the last
  // poll, runs ClearPortErrors().
  void PollPortEvents() override;
  // The timing of the byte most recently handed out.
  core::ByteTiming LastByteTiming() const override;
  // Sleeps for `duration`; returns at once once ClosePort() has been called.
  void IdleWait(std::chrono::milliseconds duration) override;
  // Any thread, any number of times: ends a wait in progress in failure,
  // closes the port and keeps the link closed for good.
  void ClosePort() override;

 private:
  enum class TransferResult { kDone, kTimedOut, kWoken, kFailed };
  struct Transfer {
    TransferResult result = TransferResult::kFailed;
    DWORD count = 0;
  };

  // Reads up to `size` bytes into rx_ (size <= rx_.size()), or writes them
  // from `bytes`, waiting at most until `deadline` (none: no limit) or until
  // ClosePort(). REQUIRES: io_mutex_ held, port_ valid.
  Transfer ReadIntoBuffer(DWORD size,
                          std::optional<std::chrono::steady_clock::time_point> deadline);
  Transfer Write(const std::uint8_t* bytes, DWORD size,
                 std::chrono::steady_clock::time_point deadline);
  // Waits for the overlapped transfer started on port_ to end.
  // REQUIRES: io_mutex_ held, port_ valid.
  Transfer FinishTransfer(std::optional<std::chrono::steady_clock::time_point> deadline);
  // Bytes the driver holds; also collects a reported break into
  // break_seen_. REQUIRES: io_mutex_ held, port_ valid.
  DWORD QueuedBytes();
  // Closes the port after a failure or on close. REQUIRES: io_mutex_ held.
  void ReleasePort();
  // True when the port may be used. REQUIRES: io_mutex_ held.
  bool Usable() const;
  // Discards the link's buffer and both queues (and aborts transfers when
  // `abort`); the input discarded goes through `discarded`.
  // REQUIRES: io_mutex_ held, port_ valid.
  void FlushQueues(bool abort, core::TailKeeper& discarded);
  // REQUIRES: io_mutex_ held, port_ valid.
  void ClearErrorsLocked();
  // Copies buffered bytes into `out`; returns how many. REQUIRES: io_mutex_ held.
  std::size_t TakeBuffered(std::span<std::uint8_t> out);

  const MonotonicClock& clock_;
  // Set once by ClosePort() and never reset, so every later wait ends at
  // once. Created by the constructor, closed by the destructor.
  const UniqueHandle wake_event_;
  // Set by ClosePort() before it signals wake_event_.
  std::atomic<bool> closed_for_good_{false};
  // Mirrors port_.valid() for IsOpen() from other threads.
  std::atomic<bool> open_{false};

  // Held by every port operation for its whole duration, and by ClosePort()
  // while it closes the handle. Guards everything below.
  mutable std::mutex io_mutex_;
  UniqueHandle port_;
  // The event of the one overlapped transfer in progress (manual reset).
  const UniqueHandle io_event_;
  OVERLAPPED overlapped_{};
  core::SerialTimeouts timeouts_;
  bool break_seen_ = false;
  // Received bytes not yet handed out: rx_[rx_begin_, rx_end_).
  std::array<std::uint8_t, 4096> rx_{};
  std::size_t rx_begin_ = 0;
  std::size_t rx_end_ = 0;
  core::BurstTracker bursts_{0};
};

}  // namespace orvik::platform

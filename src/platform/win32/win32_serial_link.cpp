#include "platform/win32/win32_serial_link.h"

#include <algorithm>
#include <utility>

#include "core/read_deadlines.h"
#include "platform/win32/win32_port_fault.h"

namespace orvik::platform {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A write whose time-outs are both zero would otherwise wait without limit
// for a stalled line (flow control held off); it gives up after this long.
constexpr milliseconds kWriteCapWithoutTimeouts{3000};
// How long a cancelled transfer may take to end before the handle is closed
// under it (closing ends every transfer on it).
constexpr DWORD kCancelGraceMs = 2000;
// Bytes read and dropped at most by a purge, in chunks of the receive buffer.
constexpr int kMaxDrainChunks = 16;

// Raw 8N1 at `baud`, no software flow control, no character replacement,
// RTS off, transfers not aborted on line errors. Hardware output flow
// control (CTS) stays as the port reported it.
void ConfigureLine(HANDLE port, std::uint32_t baud) {
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!::GetCommState(port, &dcb)) return;
  dcb.BaudRate = baud;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fErrorChar = FALSE;
  dcb.fNull = FALSE;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  dcb.fAbortOnError = FALSE;
  ::SetCommState(port, &dcb);
}

void ApplyTimeouts(HANDLE port, const core::SerialTimeouts& timeouts) {
  COMMTIMEOUTS comm{};
  comm.ReadIntervalTimeout = timeouts.read_interval;
  comm.ReadTotalTimeoutMultiplier = timeouts.read_total_per_byte;
  comm.ReadTotalTimeoutConstant = timeouts.read_total_constant;
  comm.WriteTotalTimeoutMultiplier = timeouts.write_total_per_byte;
  comm.WriteTotalTimeoutConstant = timeouts.write_total_constant;
  ::SetCommTimeouts(port, &comm);
}

// Milliseconds left until `deadline` for a wait, rounded up so that the wait
// does not end before it; INFINITE without one.
DWORD WaitMillis(std::optional<Clock::time_point> deadline) {
  if (!deadline) return INFINITE;
  const auto left = std::chrono::ceil<milliseconds>(*deadline - Clock::now()).count();
  if (left <= 0) return 0;
  return static_cast<DWORD>(std::min<std::int64_t>(left, INFINITE - 1));
}

}  // namespace

std::string Win32ComDevicePath(std::uint8_t com_number) {
  return "\\\\.\\COM" + std::to_string(com_number);
}

Win32SerialLink::Win32SerialLink(const MonotonicClock& clock)
    : clock_(clock),
      wake_event_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      io_event_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

Win32SerialLink::~Win32SerialLink() { ClosePort(); }

PortOpenResult Win32SerialLink::OpenPort(const PortConfig& config) {
  std::lock_guard lock(io_mutex_);
  if (closed_for_good_.load()) return PortOpenResult::Failed(core::PortFault::kOther, "closed");
  if (!io_event_.valid()) return PortOpenFailedWithError(ERROR_NOT_ENOUGH_MEMORY);
  ReleasePort();
  timeouts_ = config.timeouts;
  break_seen_ = false;

  const HANDLE opened = ::CreateFileA(config.device_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return PortOpenFailedWithError(::GetLastError());
  UniqueHandle port(opened);
  DCB probe{};
  probe.DCBlength = sizeof probe;
  // No communications device: the handle closes here.
  if (!::GetCommState(port.get(), &probe)) return PortOpenFailedWithError(::GetLastError());

  // Every configuration step is best effort; a step that fails leaves the
  // port usable with whatever the driver kept. (Under wine the modem-line
  // calls fail on a pty.)
  ::SetupComm(port.get(), static_cast<DWORD>(rx_.size()), static_cast<DWORD>(rx_.size()));
  ConfigureLine(port.get(), config.baud);
  ApplyTimeouts(port.get(), config.timeouts);
  ::EscapeCommFunction(port.get(), CLRRTS);

  port_ = std::move(port);
  rx_begin_ = rx_end_ = 0;
  bursts_ = core::BurstTracker(core::CharacterNanos(config.baud));
  bursts_.Restart(clock_.NowMonotonic());
  open_.store(true);
  return PortOpenResult::Opened();
}

bool Win32SerialLink::IsOpen() const { return open_.load(); }

ReadOutcome Win32SerialLink::ReadExact(std::span<std::uint8_t> buffer) {
  std::lock_guard lock(io_mutex_);
  if (!Usable()) return {false, 0};
  const std::size_t n = buffer.size();
  std::size_t count = TakeBuffered(buffer);
  if (count == n) return {true, n};

  core::ReadDeadlines deadlines(timeouts_, n, count > 0, Clock::now());
  while (true) {
    const DWORD queued = QueuedBytes();
    const std::optional<Clock::time_point> deadline = deadlines.Next();
    // With nothing queued, one byte is awaited: it is read the moment it
    // arrives, so its chunk is prompt.
    const bool waiting = queued == 0;
    if (waiting && deadline && Clock::now() >= *deadline) return {false, count};
    const DWORD size = waiting ? 1 : std::min<DWORD>(queued, static_cast<DWORD>(rx_.size()));
    const Transfer got = ReadIntoBuffer(size, deadline);
    if (got.count > 0) {
      bursts_.OnChunk(got.count, clock_.NowMonotonic(), waiting);
      rx_begin_ = 0;
      rx_end_ = got.count;
      count += TakeBuffered(buffer.subspan(count));
      if (count == n) return {true, n};
      deadlines.BytesArrived(Clock::now());
    }
    switch (got.result) {
      case TransferResult::kDone:
      case TransferResult::kTimedOut:
        break;  // the deadlines above decide whether to go on
      case TransferResult::kWoken:
        return {false, count};
      case TransferResult::kFailed:
        ReleasePort();
        return {false, count};
    }
  }
}

ReadOutcome Win32SerialLink::ReadOne(std::uint8_t& byte) {
  return ReadExact(std::span<std::uint8_t>(&byte, 1));
}

void Win32SerialLink::WritePort(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(io_mutex_);
  if (!Usable() || bytes.empty()) return;
  milliseconds limit(std::int64_t{timeouts_.write_total_per_byte} *
                         static_cast<std::int64_t>(bytes.size()) +
                     timeouts_.write_total_constant);
  if (limit.count() == 0) limit = kWriteCapWithoutTimeouts;
  const Clock::time_point deadline = Clock::now() + limit;

  std::size_t written = 0;
  while (written < bytes.size()) {
    const DWORD size = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - written, 1u << 16));
    const Transfer put = Write(bytes.data() + written, size, deadline);
    written += put.count;
    if (put.result == TransferResult::kFailed) {
      ReleasePort();
      return;
    }
    if (put.result != TransferResult::kDone || put.count == 0) return;
  }
}

std::size_t Win32SerialLink::Purge(PurgeKind kind, std::span<std::uint8_t> tail) {
  std::lock_guard lock(io_mutex_);
  core::TailKeeper discarded(tail);
  if (Usable()) FlushQueues(kind == PurgeKind::kAbortAndClear, discarded);
  return discarded.Kept();
}

void Win32SerialLink::ClearPortErrors() {
  std::lock_guard lock(io_mutex_);
  if (Usable()) ClearErrorsLocked();
}

void Win32SerialLink::PollPortEvents() {
  std::lock_guard lock(io_mutex_);
  if (!Usable()) return;
  QueuedBytes();
  if (break_seen_) ClearErrorsLocked();
}

core::ByteTiming Win32SerialLink::LastByteTiming() const {
  std::lock_guard lock(io_mutex_);
  return bursts_.Latest();
}

void Win32SerialLink::IdleWait(std::chrono::milliseconds duration) {
  // Only the wake event is watched, so no lock is needed: ClosePort() ends
  // the pause without waiting for it.
  if (duration.count() <= 0 || closed_for_good_.load()) return;
  ::WaitForSingleObject(wake_event_.get(), WaitMillis(Clock::now() + duration));
}

void Win32SerialLink::ClosePort() {
  closed_for_good_.store(true);
  if (wake_event_.valid()) ::SetEvent(wake_event_.get());
  // The owning thread, woken above, cancels its transfer and lets go of the
  // mutex; only then is the handle closed.
  std::lock_guard lock(io_mutex_);
  ReleasePort();
}

Win32SerialLink::Transfer Win32SerialLink::ReadIntoBuffer(
    DWORD size, std::optional<Clock::time_point> deadline) {
  overlapped_ = OVERLAPPED{};
  overlapped_.hEvent = io_event_.get();
  if (::ReadFile(port_.get(), rx_.data(), size, nullptr, &overlapped_)) {
    DWORD count = 0;
    ::GetOverlappedResult(port_.get(), &overlapped_, &count, FALSE);
    return {TransferResult::kDone, count};
  }
  const DWORD error = ::GetLastError();
  if (error == ERROR_IO_PENDING) return FinishTransfer(deadline);
  if (error == ERROR_TIMEOUT) return {TransferResult::kTimedOut, 0};
  return {TransferResult::kFailed, 0};
}

Win32SerialLink::Transfer Win32SerialLink::Write(const std::uint8_t* bytes, DWORD size,
                                                 Clock::time_point deadline) {
  overlapped_ = OVERLAPPED{};
  overlapped_.hEvent = io_event_.get();
  if (::WriteFile(port_.get(), bytes, size, nullptr, &overlapped_)) {
    DWORD count = 0;
    ::GetOverlappedResult(port_.get(), &overlapped_, &count, FALSE);
    return {TransferResult::kDone, count};
  }
  const DWORD error = ::GetLastError();
  if (error == ERROR_IO_PENDING) return FinishTransfer(deadline);
  if (error == ERROR_TIMEOUT) return {TransferResult::kTimedOut, 0};
  return {TransferResult::kFailed, 0};
}

Win32SerialLink::Transfer Win32SerialLink::FinishTransfer(
    std::optional<Clock::time_point> deadline) {
  const HANDLE events[2] = {io_event_.get(), wake_event_.get()};
  TransferResult ending = TransferResult::kTimedOut;
  while (true) {
    const DWORD ready = ::WaitForMultipleObjects(2, events, FALSE, WaitMillis(deadline));
    if (ready == WAIT_OBJECT_0) {
      DWORD count = 0;
      if (::GetOverlappedResult(port_.get(), &overlapped_, &count, FALSE)) {
        return {TransferResult::kDone, count};
      }
      const DWORD error = ::GetLastError();
      if (error == ERROR_IO_INCOMPLETE) continue;
      // The port's own time-out (wine reports it as an error, Windows as a
      // short transfer).
      if (error == ERROR_TIMEOUT) return {TransferResult::kTimedOut, count};
      return {TransferResult::kFailed, count};
    }
    if (ready == WAIT_OBJECT_0 + 1) {
      ending = TransferResult::kWoken;
      break;
    }
    if (ready == WAIT_TIMEOUT) break;
    ending = TransferResult::kFailed;  // the wait itself failed
    break;
  }
  // Cancel the transfer and wait for it to end, keeping what it moved; if it
  // will not end, closing the handle ends it.
  ::CancelIoEx(port_.get(), &overlapped_);
  if (::WaitForSingleObject(io_event_.get(), kCancelGraceMs) != WAIT_OBJECT_0) {
    ReleasePort();
    ::WaitForSingleObject(io_event_.get(), kCancelGraceMs);
    return {TransferResult::kFailed, 0};
  }
  DWORD count = 0;
  ::GetOverlappedResult(port_.get(), &overlapped_, &count, FALSE);
  return {ending, count};
}

DWORD Win32SerialLink::QueuedBytes() {
  DWORD errors = 0;
  COMSTAT status{};
  if (!::ClearCommError(port_.get(), &errors, &status)) return 0;
  if ((errors & CE_BREAK) != 0) break_seen_ = true;
  return status.cbInQue;
}

void Win32SerialLink::ReleasePort() {
  if (port_.valid()) {
    // Output still queued is dropped rather than waited for.
    ::PurgeComm(port_.get(), PURGE_TXABORT | PURGE_TXCLEAR);
    port_.reset();
  }
  open_.store(false);
}

bool Win32SerialLink::Usable() const { return port_.valid() && !closed_for_good_.load(); }

void Win32SerialLink::FlushQueues(bool abort, core::TailKeeper& discarded) {
  // What the driver holds is read (and dropped) rather than purged unseen,
  // so the burst tracker still knows whether the line was silent and the
  // framer sees the last of it.
  discarded.Append(std::span(rx_).subspan(rx_begin_, rx_end_ - rx_begin_));
  rx_begin_ = rx_end_ = 0;
  for (int chunk = 0; chunk < kMaxDrainChunks && port_.valid(); ++chunk) {
    const DWORD queued = QueuedBytes();
    if (queued == 0) break;
    const Transfer got = ReadIntoBuffer(std::min<DWORD>(queued, static_cast<DWORD>(rx_.size())),
                                        Clock::now() + milliseconds(100));
    if (got.count == 0) break;
    bursts_.OnChunk(got.count, clock_.NowMonotonic(), /*prompt=*/false);
    discarded.Append(std::span(rx_).first(got.count));
  }
  if (!port_.valid()) return;
  DWORD flags = PURGE_RXCLEAR | PURGE_TXCLEAR;
  if (abort) flags |= PURGE_RXABORT | PURGE_TXABORT;
  ::PurgeComm(port_.get(), flags);
}

void Win32SerialLink::ClearErrorsLocked() {
  ::ClearCommBreak(port_.get());
  DWORD errors = 0;
  ::ClearCommError(port_.get(), &errors, nullptr);
  break_seen_ = false;
  // What a break left is not the start of anything.
  core::TailKeeper discarded({});
  FlushQueues(/*abort=*/false, discarded);
}

std::size_t Win32SerialLink::TakeBuffered(std::span<std::uint8_t> out) {
  const std::size_t taken = std::min(out.size(), rx_end_ - rx_begin_);
  std::copy_n(rx_.begin() + static_cast<std::ptrdiff_t>(rx_begin_), taken, out.begin());
  rx_begin_ += taken;
  return taken;
}

}  // namespace orvik::platform

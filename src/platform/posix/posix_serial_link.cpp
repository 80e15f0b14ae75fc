#include "platform/posix/posix_serial_link.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>

#include "core/read_deadlines.h"
#include "platform/posix/posix_port_fault.h"

namespace orvik::platform {
namespace {

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC
using std::chrono::milliseconds;

// How often a wait through a silent line asks a driver that counts breaks
// whether one came.
constexpr milliseconds kBreakCheckInterval{100};

// A write whose time-outs are both zero would otherwise wait without limit
// for a stalled line (flow control held off); it gives up after this long.
constexpr milliseconds kWriteCapWithoutTimeouts{3000};

// Returns the termios speed constant for a baud rate, if it is a standard one.
std::optional<speed_t> SpeedConstant(std::uint32_t baud) {
  struct Rate {
    std::uint32_t baud;
    speed_t speed;
  };
  static constexpr Rate kRates[] = {
      {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
      {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
      {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
      {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
  };
  for (const Rate& rate : kRates) {
    if (rate.baud == baud) return rate.speed;
  }
  return std::nullopt;
}

// Raw 8N1: no echo, no line editing, no character translation or signals,
// receiver on, modem-control lines ignored for open/read. Hardware flow
// control (CRTSCTS) stays as the port reported it. A break adds no byte to
// the data; the driver's break counter reports it instead.
void ConfigureLine(int fd, std::uint32_t baud) {
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) return;
  ::cfmakeraw(&tio);
  tio.c_iflag |= IGNBRK;
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  // The descriptor is non-blocking and the time-outs are kept by poll().
  // VMIN 1 (not 0) makes a read with nothing waiting fail with EAGAIN, so a
  // read() of 0 bytes means only one thing: the device hung up.
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  if (const auto speed = SpeedConstant(baud)) {
    ::cfsetispeed(&tio, *speed);
    ::cfsetospeed(&tio, *speed);
  }
  ::tcsetattr(fd, TCSANOW, &tio);
}

// Asks the driver to hand over received bytes at once instead of batching
// them; drivers without the setting (ptys) refuse, which is fine.
void RequestLowLatency(int fd) {
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
  serial.flags |= ASYNC_LOW_LATENCY;
  ::ioctl(fd, TIOCSSERIAL, &serial);
}

}  // namespace

PosixSerialLink::PosixSerialLink(const MonotonicClock& clock)
    : clock_(clock),
      wake_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      nudge_fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

PosixSerialLink::~PosixSerialLink() { ClosePort(); }

PortOpenResult PosixSerialLink::OpenPort(const PortConfig& config) {
  std::lock_guard lock(io_mutex_);
  if (closed_for_good_.load()) return PortOpenResult::Failed(core::PortFault::kOther, "closed");
  ReleasePort();
  timeouts_ = config.timeouts;
  last_break_count_.reset();

  UniqueFd fd(::open(config.device_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) return PortOpenFailedWithErrno(errno);
  termios probe{};
  // Not a terminal: fd closes here.
  if (::tcgetattr(fd.get(), &probe) != 0) return PortOpenFailedWithErrno(errno);

  // Every configuration step is best effort; a step that fails leaves the
  // port usable with whatever the driver kept.
  ::ioctl(fd.get(), TIOCEXCL);
  ConfigureLine(fd.get(), config.baud);
  RequestLowLatency(fd.get());
  const int rts = TIOCM_RTS;
  ::ioctl(fd.get(), TIOCMBIC, &rts);

  port_fd_ = std::move(fd);
  last_break_count_ = ReadBreakCount();
  // A driver without the counter (a pty, many USB adapters) is not asked
  // again: the loop polls for breaks on every pass.
  counts_breaks_ = last_break_count_.has_value();
  rx_begin_ = rx_end_ = 0;
  output_since_flush_ = false;
  bursts_ = core::BurstTracker(core::CharacterNanos(config.baud));
  bursts_.Restart(clock_.NowMonotonic());
  open_.store(true);
  return PortOpenResult::Opened();
}

bool PosixSerialLink::IsOpen() const { return open_.load(); }

ReadOutcome PosixSerialLink::ReadExact(std::span<std::uint8_t> buffer) {
  std::lock_guard lock(io_mutex_);
  if (!Usable()) return {false, 0};
  const std::size_t n = buffer.size();
  std::size_t count = TakeBuffered(buffer);
  if (count == n) return {true, n};

  core::ReadDeadlines deadlines(timeouts_, n, count > 0, Clock::now());
  // True right after a wait for the line: the next chunk is read promptly.
  bool after_wait = false;
  while (true) {
    switch (ReadChunk(after_wait)) {
      case ChunkRead::kGot:
        after_wait = false;
        count += TakeBuffered(buffer.subspan(count));
        if (count == n) return {true, n};
        deadlines.BytesArrived(Clock::now());
        continue;
      case ChunkRead::kGone:
        return {false, count};
      case ChunkRead::kNone:
        break;
    }
    switch (WaitForPort(POLLIN, deadlines.Next())) {
      case WaitResult::kReady:
        after_wait = true;
        break;
      case WaitResult::kTimedOut:
      case WaitResult::kWoken:
        return {false, count};
      case WaitResult::kHungUp:
        ReleasePort();
        return {false, count};
    }
  }
}

PosixSerialLink::ChunkRead PosixSerialLink::ReadChunk(bool prompt) {
  while (true) {
    const ssize_t got = ::read(port_fd_.get(), rx_.data(), rx_.size());
    if (got > 0) {
      bursts_.OnChunk(static_cast<std::size_t>(got), clock_.NowMonotonic(), prompt);
      rx_begin_ = 0;
      rx_end_ = static_cast<std::size_t>(got);
      return ChunkRead::kGot;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
      // End of file or an I/O error on a terminal: the device is gone.
      ReleasePort();
      return ChunkRead::kGone;
    }
    return ChunkRead::kNone;
  }
}

ReadOutcome PosixSerialLink::ReadOne(std::uint8_t& byte) {
  return ReadExact(std::span<std::uint8_t>(&byte, 1));
}

void PosixSerialLink::WritePort(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(io_mutex_);
  if (!Usable() || bytes.empty()) return;
  milliseconds limit(std::int64_t{timeouts_.write_total_per_byte} *
                         static_cast<std::int64_t>(bytes.size()) +
                     timeouts_.write_total_constant);
  if (limit.count() == 0) limit = kWriteCapWithoutTimeouts;
  const Clock::time_point deadline = Clock::now() + limit;

  std::size_t written = 0;
  output_since_flush_ = true;
  while (written < bytes.size()) {
    const ssize_t put = ::write(port_fd_.get(), bytes.data() + written, bytes.size() - written);
    if (put > 0) {
      written += static_cast<std::size_t>(put);
      continue;
    }
    if (put < 0 && errno == EINTR) continue;
    if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      if (errno == EIO || errno == ENXIO || errno == ENODEV) ReleasePort();
      return;
    }
    switch (WaitForPort(POLLOUT, deadline)) {
      case WaitResult::kReady:
        break;
      case WaitResult::kTimedOut:
      case WaitResult::kWoken:
        return;
      case WaitResult::kHungUp:
        ReleasePort();
        return;
    }
  }
}

std::size_t PosixSerialLink::Purge(PurgeKind /*kind*/, std::span<std::uint8_t> tail) {
  // Writes complete (or give up) before WritePort returns and reads end
  // before ReadExact returns, so both kinds only discard the queues.
  std::lock_guard lock(io_mutex_);
  core::TailKeeper discarded(tail);
  if (Usable()) FlushQueues(discarded);
  return discarded.Kept();
}

void PosixSerialLink::ClearPortErrors() {
  std::lock_guard lock(io_mutex_);
  if (Usable()) ClearErrorsLocked();
}

void PosixSerialLink::PollPortEvents() {
  std::lock_guard lock(io_mutex_);
  if (Usable()) ClearErrorsAfterBreak();
}

void PosixSerialLink::ClearErrorsAfterBreak() {
  if (!counts_breaks_) return;
  const std::optional<std::uint32_t> count = ReadBreakCount();
  if (count && last_break_count_ && *count != *last_break_count_) ClearErrorsLocked();
  last_break_count_ = count;
}

core::ByteTiming PosixSerialLink::LastByteTiming() const {
  std::lock_guard lock(io_mutex_);
  return bursts_.Latest();
}

std::size_t PosixSerialLink::TakeBuffered(std::span<std::uint8_t> out) {
  const std::size_t taken = std::min(out.size(), rx_end_ - rx_begin_);
  std::copy_n(rx_.begin() + static_cast<std::ptrdiff_t>(rx_begin_), taken, out.begin());
  rx_begin_ += taken;
  return taken;
}

void PosixSerialLink::IdleWait(std::chrono::milliseconds duration) {
  // Only the wake descriptor is watched, so no lock is needed: ClosePort()
  // ends the pause without waiting for it.
  const Clock::time_point deadline = Clock::now() + duration;
  for (int attempt = 0; attempt < 1000 && !closed_for_good_.load(); ++attempt) {
    const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return;
    pollfd wake{wake_fd_.get(), POLLIN, 0};
    const int ready =
        ::poll(&wake, 1, static_cast<int>(std::min<std::int64_t>(left.count(), INT_MAX)));
    if (ready > 0 || (ready < 0 && errno != EINTR)) return;
  }
}

void PosixSerialLink::AwaitInput(milliseconds limit) {
  std::lock_guard lock(io_mutex_);
  if (!Usable() || rx_begin_ != rx_end_) return;
  // The bytes that come are read into the link's buffer at once, as a read
  // waiting for them would, so the burst tracker learns when they came:
  // what already waits came at an unknown time, what wakes the wait just now.
  if (ReadChunk(/*prompt=*/false) != ChunkRead::kNone) return;
  pollfd fds[3] = {
      {port_fd_.get(), POLLIN, 0}, {wake_fd_.get(), POLLIN, 0}, {nudge_fd_.get(), POLLIN, 0}};
  const Clock::time_point deadline = Clock::now() + limit;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return;
    // A driver that counts breaks is asked as often as the loop's passes
    // would ask it, so a break is cleared before the bytes after it come.
    const milliseconds slice = counts_breaks_ ? std::min(left, kBreakCheckInterval) : left;
    const int ready =
        ::poll(fds, 3, static_cast<int>(std::min<std::int64_t>(slice.count(), INT_MAX)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready == 0) {
      ClearErrorsAfterBreak();
      continue;
    }
    if (fds[2].revents != 0) {
      std::uint64_t nudges = 0;
      [[maybe_unused]] const ssize_t ignored = ::read(nudge_fd_.get(), &nudges, sizeof nudges);
    }
    if (fds[1].revents == 0 && !closed_for_good_.load() && (fds[0].revents & POLLIN) != 0) {
      ReadChunk(/*prompt=*/true);
    }
    // Input, a hang-up (the next read finds it), a nudge, a close, or the limit.
    return;
  }
}

void PosixSerialLink::NudgeInputWait() {
  if (!nudge_fd_.valid()) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(nudge_fd_.get(), &one, sizeof one);
}

void PosixSerialLink::ClosePort() {
  closed_for_good_.store(true);
  if (wake_fd_.valid()) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(wake_fd_.get(), &one, sizeof one);
  }
  // The owning thread, woken above, lets go of the mutex at once; only then
  // is the descriptor closed, so it is never closed under a running call.
  std::lock_guard lock(io_mutex_);
  ReleasePort();
}

PosixSerialLink::WaitResult PosixSerialLink::WaitForPort(
    short events, std::optional<Clock::time_point> deadline) {
  pollfd fds[2] = {{port_fd_.get(), events, 0}, {wake_fd_.get(), POLLIN, 0}};
  while (true) {
    int timeout_ms = -1;
    if (deadline) {
      // Rounded up: poll() must not return before the deadline has passed.
      const auto left = std::chrono::ceil<milliseconds>(*deadline - Clock::now());
      if (left.count() <= 0) return WaitResult::kTimedOut;
      timeout_ms = static_cast<int>(std::min<std::int64_t>(left.count(), INT_MAX));
    }
    const int ready = ::poll(fds, 2, timeout_ms);
    if (ready < 0) {
      if (errno == EINTR) continue;
      return WaitResult::kTimedOut;
    }
    if (fds[1].revents != 0 || closed_for_good_.load()) return WaitResult::kWoken;
    if ((fds[0].revents & events) != 0) return WaitResult::kReady;
    if ((fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return WaitResult::kHungUp;
  }
}

void PosixSerialLink::ReleasePort() {
  if (port_fd_.valid()) {
    // Output still queued would make close() wait for it to drain (up to
    // the driver's closing wait, 30 s by default); drop it instead.
    ::tcflush(port_fd_.get(), TCOFLUSH);
    ::ioctl(port_fd_.get(), TIOCNXCL);
    port_fd_.reset();
  }
  open_.store(false);
}

bool PosixSerialLink::Usable() const { return port_fd_.valid() && !closed_for_good_.load(); }

void PosixSerialLink::FlushQueues(core::TailKeeper& discarded) {
  // What the driver holds is read (and dropped) rather than flushed unseen,
  // so the burst tracker still knows whether the line was silent and the
  // framer sees the last of it. Only a queue that may still hold something
  // is flushed: the input after a flood too long to read here, the output
  // after a write.
  discarded.Append(std::span(rx_).subspan(rx_begin_, rx_end_ - rx_begin_));
  // Read until the driver has nothing left (a short read does not say so: a
  // pty hands over at most its own chunk at a time); a flood longer than
  // this is flushed unseen.
  bool input_left = true;
  for (int chunk = 0; chunk < 64 && input_left; ++chunk) {
    const ssize_t got = ::read(port_fd_.get(), rx_.data(), rx_.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      input_left = false;
      break;
    }
    bursts_.OnChunk(static_cast<std::size_t>(got), clock_.NowMonotonic(), /*prompt=*/false);
    discarded.Append(std::span(rx_).first(static_cast<std::size_t>(got)));
  }
  if (input_left && output_since_flush_) {
    ::tcflush(port_fd_.get(), TCIOFLUSH);
  } else if (input_left) {
    ::tcflush(port_fd_.get(), TCIFLUSH);
  } else if (output_since_flush_) {
    ::tcflush(port_fd_.get(), TCOFLUSH);
  }
  output_since_flush_ = false;
  rx_begin_ = rx_end_ = 0;
}

void PosixSerialLink::ClearErrorsLocked() {
  // Line errors need no clearing on a terminal (they only mark or drop
  // bytes); what remains is to stop sending a break and drop what the break
  // left in the queues.
  ::ioctl(port_fd_.get(), TIOCCBRK);
  // What a break left is not the start of anything.
  core::TailKeeper discarded({});
  FlushQueues(discarded);
}

std::optional<std::uint32_t> PosixSerialLink::ReadBreakCount() const {
  serial_icounter_struct counters{};
  if (::ioctl(port_fd_.get(), TIOCGICOUNT, &counters) != 0) return std::nullopt;
  return static_cast<std::uint32_t>(counters.brk);
}

}  // namespace orvik::platform

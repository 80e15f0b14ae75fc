#include "gpstime_sim/sim_line.h"

#include <poll.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "gpstime_sim/pty_port.h"
#include "gpstime_sim/sim_time.h"
#include "gpstime_sim/stop_signal.h"

namespace orvik::tools {
namespace {

using std::chrono::duration_cast;
using std::chrono::milliseconds;
using std::chrono::nanoseconds;

constexpr nanoseconds kLongestPoll = std::chrono::seconds(60);

timespec PollTimeout(nanoseconds timeout) {
  const std::int64_t ns = std::clamp(timeout, nanoseconds(0), kLongestPoll).count();
  return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

// To the nanosecond, so a paced byte is handed over neither early nor a
// rounded-up millisecond late.
nanoseconds Until(SimLine::Clock::time_point deadline) {
  const auto now = SimLine::Clock::now();
  if (deadline <= now) return nanoseconds(0);
  return std::min(duration_cast<nanoseconds>(deadline - now), kLongestPoll);
}

}  // namespace

SimLine::SimLine(const PtyPort& port, const StopSignal& stop, LineConfig config)
    : port_(port), stop_(stop), config_(config) {}

void SimLine::Note(const std::string& line) const {
  if (config_.quiet) return;
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void SimLine::Handle(const std::vector<ReceiverCommand>& commands) {
  for (const ReceiverCommand& command : commands) {
    Note(DescribeCommand(command));
    if (handler_) handler_(command);
  }
}

void SimLine::ReadCommands() {
  std::uint8_t buffer[512];
  for (int reads = 0; reads < 16; ++reads) {
    const ssize_t count = ::read(port_.master_fd(), buffer, sizeof buffer);
    if (count <= 0) break;
    last_command_byte_ = Clock::now();
    Handle(parser_.Push(std::span(buffer, static_cast<std::size_t>(count))));
  }
}

bool SimLine::PollOnce(nanoseconds timeout, bool want_write) {
  if (parser_.has_pending()) {
    const auto flush_at = last_command_byte_ + kCommandQuietTime;
    if (Clock::now() >= flush_at) {
      FlushCommands();
    } else {
      timeout = std::min(timeout, Until(flush_at));
    }
  }
  pollfd entries[2] = {
      {port_.master_fd(), static_cast<short>(POLLIN | (want_write ? POLLOUT : 0)), 0},
      {stop_.fd(), POLLIN, 0},
  };
  const timespec wait = PollTimeout(timeout);
  const int ready = ::ppoll(entries, 2, &wait, nullptr);
  if (ready < 0 && errno != EINTR) {
    std::fprintf(stderr, "gpstime-sim: poll failed: %s\n", std::strerror(errno));
    return false;
  }
  if (stop_.requested()) return false;
  if (ready > 0 && (entries[0].revents & POLLIN) != 0) ReadCommands();
  return true;
}

bool SimLine::WaitUntil(Clock::time_point deadline) {
  return WaitUntil(deadline, [] { return false; });
}

bool SimLine::WaitUntil(Clock::time_point deadline, const std::function<bool()>& done) {
  // Bounded: each pass waits until the deadline or handles an event.
  while (!done()) {
    if (!PollOnce(Until(deadline), false)) return false;
    if (Clock::now() >= deadline) return true;
  }
  return true;
}

bool SimLine::Write(const std::string& text) {
  return Write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

void SimLine::DiscardStale() {
  const auto now = Clock::now();
  if (port_.QueuedForReader() == 0) {
    if (reader_absent_ && written_since_discard_ > 0) {
      reader_absent_ = false;
      Note("gpstime-sim: " + port_.link_path().string() + " is read again");
    }
    queued_since_.reset();
    return;
  }
  if (!queued_since_) queued_since_ = now;
  if (now - *queued_since_ < kReaderAbsentLimit) return;
  const std::size_t discarded = port_.DiscardQueued();
  queued_since_.reset();
  written_since_discard_ = 0;
  if (!reader_absent_) {
    reader_absent_ = true;
    Note("gpstime-sim: nobody read " + port_.link_path().string() + " for " +
         std::to_string(kReaderAbsentLimit.count() / 1000) + " s: discarded " +
         std::to_string(discarded) + " bytes; unread output is discarded until a reader comes");
  }
}

bool SimLine::Write(std::span<const std::uint8_t> bytes, std::optional<Clock::time_point> begin_at,
                    std::vector<std::int64_t>* line_end_stamps) {
  DiscardStale();
  std::size_t done = 0;
  if (!config_.byte_pacing) return WriteRange(bytes, done, bytes.size(), line_end_stamps);
  // A character on the line: a start bit, eight data bits and a stop bit.
  const std::chrono::duration<double> character(10.0 / config_.baud);
  const auto line_time = [&character](std::size_t count) {
    return duration_cast<Clock::duration>(character * static_cast<double>(count));
  };
  const Clock::time_point begin = std::max(line_free_at_, begin_at.value_or(Clock::now()));
  line_free_at_ = begin + line_time(bytes.size());
  while (done < bytes.size()) {
    // The next write: one byte, or with whole lines the rest of the line.
    std::size_t until = done + 1;
    if (config_.whole_lines) {
      const auto lf =
          std::find(bytes.begin() + static_cast<std::ptrdiff_t>(done), bytes.end(), '\n');
      until = lf == bytes.end() ? bytes.size() : static_cast<std::size_t>(lf - bytes.begin()) + 1;
    }
    if (!WaitUntil(begin + line_time(until))) return false;
    // Every byte whose time has come, several after a late wake-up.
    const auto due = static_cast<std::size_t>((Clock::now() - begin) / character);
    const bool first = done == 0;
    const std::size_t end = config_.whole_lines ? until : std::clamp(due, until, bytes.size());
    if (!WriteRange(bytes, done, end, line_end_stamps)) return false;
    if (first) first_byte_lateness_ = Clock::now() - (begin + line_time(until));
  }
  return true;
}

bool SimLine::WriteRange(std::span<const std::uint8_t> bytes, std::size_t& done, std::size_t end,
                         std::vector<std::int64_t>* stamps) {
  constexpr milliseconds kBlockedStep{100};
  while (done < end) {
    if (stop_.requested()) return false;
    const std::int64_t stamp = stamps != nullptr ? ReadUtcNowNanos() : 0;
    const ssize_t written = ::write(port_.master_fd(), bytes.data() + done, end - done);
    if (written > 0) {
      if (stamps != nullptr) {
        const auto taken = bytes.subspan(done, static_cast<std::size_t>(written));
        stamps->insert(stamps->end(), std::count(taken.begin(), taken.end(), '\n'), stamp);
      }
      done += static_cast<std::size_t>(written);
      written_since_discard_ += static_cast<std::size_t>(written);
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno != EAGAIN) {
      std::fprintf(stderr, "gpstime-sim: write to the pty failed: %s\n", std::strerror(errno));
      return false;
    }
    // The buffer is full. A reader makes room soon; without one, DiscardStale
    // frees it within kReaderAbsentLimit, so this loop cannot run forever.
    if (!PollOnce(kBlockedStep, true)) return false;
    DiscardStale();
  }
  return true;
}

bool SimLine::Drain(milliseconds limit) {
  const auto give_up_at = Clock::now() + limit;
  constexpr milliseconds kStep{50};
  // Two empty readings in a row: bytes just written may still be on their
  // way into the reader's queue at the first one.
  int empty_readings = 0;
  while (Clock::now() < give_up_at && empty_readings < 2) {
    empty_readings = port_.QueuedForReader() == 0 ? empty_readings + 1 : 0;
    if (!WaitUntil(std::min(give_up_at, Clock::now() + kStep))) return false;
  }
  return true;
}

void SimLine::FlushCommands() { Handle(parser_.Flush()); }

}  // namespace orvik::tools

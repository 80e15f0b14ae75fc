#include "bench/line_feeder.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <random>
#include <system_error>

namespace orvik::bench {
namespace {

namespace fs = std::filesystem;
using platform::UniqueFd;

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
// The longest sleep between two looks at the stop request and the input.
constexpr std::int64_t kSleepSliceNs = 50'000'000;
// The feeding thread stands for hardware, whose timing a busy machine does
// not disturb: it runs at a raised priority where that is allowed.
constexpr int kFeederNiceness = -15;

std::int64_t UtcNowNs() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec * kNanosPerSecond + now.tv_nsec;
}

timespec TimespecOf(std::int64_t ns) {
  return {static_cast<time_t>(ns / kNanosPerSecond), static_cast<long>(ns % kNanosPerSecond)};
}

// The first multiple of `period` at or after `ns` (ns >= 0).
std::int64_t FirstPeriodAtOrAfter(std::int64_t ns, std::int64_t period) {
  return (ns + period - 1) / period * period;
}

}  // namespace

std::unique_ptr<LineFeeder> LineFeeder::Open(const fs::path& dir, int port, std::string& error) {
  int master_fd = -1;
  int slave_fd = -1;
  if (::openpty(&master_fd, &slave_fd, nullptr, nullptr, nullptr) != 0) {
    error = std::string("openpty: ") + std::strerror(errno);
    return nullptr;
  }
  UniqueFd master(master_fd);
  UniqueFd slave(slave_fd);
  ::fcntl(master.get(), F_SETFD, FD_CLOEXEC);
  ::fcntl(slave.get(), F_SETFD, FD_CLOEXEC);
  ::fcntl(master.get(), F_SETFL, ::fcntl(master.get(), F_GETFL) | O_NONBLOCK);
  // A pty's line settings live on its slave side and serve both directions.
  termios settings{};
  if (::tcgetattr(slave.get(), &settings) == 0) {
    ::cfmakeraw(&settings);
    ::tcsetattr(slave.get(), TCSANOW, &settings);
  }
  char name[128] = {};
  if (::ttyname_r(slave.get(), name, sizeof name) != 0) {
    error = "no name for the pty";
    return nullptr;
  }
  const fs::path link = dir / ("COM" + std::to_string(port));
  std::error_code link_error;
  fs::create_symlink(name, link, link_error);
  if (link_error) {
    error = "cannot link " + link.string() + ": " + link_error.message();
    return nullptr;
  }
  return std::unique_ptr<LineFeeder>(
      new LineFeeder(std::move(master), std::move(slave), name, link));
}

LineFeeder::LineFeeder(UniqueFd master, UniqueFd slave, std::string device, fs::path link)
    : master_(std::move(master)),
      slave_(std::move(slave)),
      device_(std::move(device)),
      link_(std::move(link)) {}

LineFeeder::~LineFeeder() {
  Stop();
  std::error_code ignored;
  fs::remove(link_, ignored);
}

void LineFeeder::WriteNow(std::string_view bytes, FeedFigures& figures) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(master_.get(), bytes.data(), bytes.size());
    if (written > 0) {
      figures.bytes_sent += written;
      bytes.remove_prefix(static_cast<std::size_t>(written));
    } else if (written < 0 && errno == EINTR) {
      continue;
    } else {
      figures.bytes_dropped += static_cast<std::int64_t>(bytes.size());  // full, or gone
      return;
    }
  }
}

bool LineFeeder::SleepUntil(std::int64_t utc_ns, const std::stop_token& stop) {
  while (true) {
    if (stop.stop_requested()) return false;
    char discarded[256];
    for (int reads = 0; reads < 16 && ::read(master_.get(), discarded, sizeof discarded) > 0;) {
      ++reads;
    }
    const std::int64_t now = UtcNowNs();
    if (now >= utc_ns) return true;
    const timespec wake = TimespecOf(std::min(utc_ns, now + kSleepSliceNs));
    ::clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &wake, nullptr);
  }
}

FeedFigures LineFeeder::WriteBacklog(const FeedPlan& plan, int seconds) {
  FeedFigures figures;
  const std::int64_t now_period = UtcNowNs() / plan.period_ns * plan.period_ns;
  const std::int64_t count = seconds * kNanosPerSecond / plan.period_ns;
  for (std::int64_t k = count; k >= 1; --k) {
    WriteNow(BuildBurst(plan.shape, now_period - k * plan.period_ns), figures);
  }
  return figures;
}

void LineFeeder::Start(const FeedPlan& plan, std::int64_t first_ns, std::int64_t end_ns) {
  thread_ = std::jthread([this, plan, first_ns, end_ns](std::stop_token stop) {
    Feed(std::move(stop), plan, first_ns, end_ns);
  });
}

FeedFigures LineFeeder::Stop() {
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
  return figures_;
}

void LineFeeder::Feed(std::stop_token stop, FeedPlan plan, std::int64_t first_ns,
                      std::int64_t end_ns) {
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kFeederNiceness);
  std::mt19937_64 engine{std::random_device{}()};
  std::uniform_int_distribution<std::int64_t> jitter(0, plan.jitter_ms * 1'000'000);
  const double character_ns = 1e10 / plan.baud;
  const auto line_time = [character_ns](std::size_t count) {
    return static_cast<std::int64_t>(std::llround(character_ns * static_cast<double>(count)));
  };
  const std::int64_t timer_ns =
      std::chrono::duration_cast<std::chrono::nanoseconds>(plan.clump_timer).count();
  std::int64_t line_free_at = 0;  // a burst never begins before the last one ended
  for (std::int64_t period = FirstPeriodAtOrAfter(first_ns, plan.period_ns); period < end_ns;
       period += plan.period_ns) {
    const std::int64_t begin = std::max(period + jitter(engine), line_free_at);
    const std::string burst = BuildBurst(plan.shape, period);
    line_free_at = begin + line_time(burst.size());
    std::size_t done = 0;
    while (done < burst.size()) {
      // Byte i is due when its stop bit is in: begin + (i + 1) characters.
      std::size_t until = std::min(done + std::max<std::size_t>(plan.clump, 1), burst.size());
      std::int64_t due = begin + line_time(until);
      if (plan.clump > 1 && until - done < plan.clump) due += timer_ns;
      if (!SleepUntil(due, stop)) return;
      const std::int64_t now = UtcNowNs();
      if (plan.clump <= 1) {
        // Every byte whose time has come: several after a late wake-up.
        const auto due_count =
            static_cast<std::size_t>(static_cast<double>(now - begin) / character_ns);
        until = std::clamp(due_count, until, burst.size());
      }
      if (done == 0) figures_.first_write_late_ms.push_back(static_cast<double>(now - due) / 1e6);
      WriteNow(std::string_view(burst).substr(done, until - done), figures_);
      done = until;
    }
    ++figures_.bursts;
  }
}

}  // namespace orvik::bench

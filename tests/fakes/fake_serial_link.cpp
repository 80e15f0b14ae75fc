#include "fakes/fake_serial_link.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace orvik::testing {

void FakeSerialLink::Feed(std::string_view bytes) { FeedWithTiming(bytes, true); }

void FakeSerialLink::UseClock(const platform::MonotonicClock& clock) {
  std::lock_guard lock(mutex_);
  clock_ = &clock;
}

void FakeSerialLink::FeedWithTiming(std::string_view bytes, bool live) {
  std::lock_guard lock(mutex_);
  AppendToLine(bytes, live);
}

void FakeSerialLink::AppendToLine(std::string_view bytes, bool live) {
  const core::MonotonicNanos now = clock_->NowMonotonic();
  // Each feed is a burst of its own (or a stretch of unknown start).
  const core::ByteTiming timing{live ? std::optional<core::MonotonicNanos>(now) : std::nullopt, now,
                                ++feeds_, now};
  line_.insert(line_.end(), bytes.begin(), bytes.end());
  timings_.insert(timings_.end(), bytes.size(), timing);
  changed_.notify_all();
}

core::ByteTiming FakeSerialLink::LastByteTiming() const {
  std::lock_guard lock(mutex_);
  return last_timing_;
}

int FakeSerialLink::StarvedReads() const {
  std::lock_guard lock(mutex_);
  return starved_reads_;
}

bool FakeSerialLink::WaitForStarvedReads(int count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return starved_reads_ >= count; });
}

void FakeSerialLink::FailNextOpen() { FailNextOpens({{core::PortFault::kNoSuchPort, ""}}); }

void FakeSerialLink::FailNextOpens(std::vector<core::PortOpenFailure> failures) {
  std::lock_guard lock(mutex_);
  open_failures_.insert(open_failures_.end(), failures.begin(), failures.end());
}

void FakeSerialLink::OnIdleWait(std::function<void(std::chrono::milliseconds)> hook) {
  idle_hook_ = std::move(hook);
}

std::vector<std::string> FakeSerialLink::Operations() const {
  std::lock_guard lock(mutex_);
  return operations_;
}

std::string FakeSerialLink::Written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

int FakeSerialLink::Count(std::string_view op) const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(std::count(operations_.begin(), operations_.end(), op));
}

platform::PortOpenResult FakeSerialLink::OpenPort(const platform::PortConfig& config) {
  std::lock_guard lock(mutex_);
  operations_.push_back("open " + config.device_path + " " + std::to_string(config.baud));
  if (closed_for_good_) return platform::PortOpenResult::Failed(core::PortFault::kOther, "closed");
  open_ = open_failures_.empty();
  if (open_) return platform::PortOpenResult::Opened();
  const core::PortOpenFailure failure = open_failures_.front();
  open_failures_.pop_front();
  return {failure};
}

bool FakeSerialLink::IsOpen() const {
  std::lock_guard lock(mutex_);
  return open_;
}

platform::ReadOutcome FakeSerialLink::Take(std::span<std::uint8_t> buffer,
                                           std::unique_lock<std::mutex>& lock) {
  if (!open_) return {false, 0};
  if (line_.size() < buffer.size()) {
    changed_.wait_for(lock, kStarvedReadWait,
                      [&] { return !open_ || line_.size() >= buffer.size(); });
    if (line_.empty()) {
      ++starved_reads_;
      changed_.notify_all();
    }
    if (!open_) return {false, 0};
  }
  const std::size_t n = std::min(buffer.size(), line_.size());
  std::copy_n(line_.begin(), n, buffer.begin());
  line_.erase(line_.begin(), line_.begin() + static_cast<std::ptrdiff_t>(n));
  if (n > 0) last_timing_ = timings_[n - 1];
  timings_.erase(timings_.begin(), timings_.begin() + static_cast<std::ptrdiff_t>(n));
  return {n == buffer.size(), n};
}

platform::ReadOutcome FakeSerialLink::ReadExact(std::span<std::uint8_t> buffer) {
  std::unique_lock lock(mutex_);
  operations_.push_back("read" + std::to_string(buffer.size()));
  return Take(buffer, lock);
}

platform::ReadOutcome FakeSerialLink::ReadOne(std::uint8_t& byte) {
  std::unique_lock lock(mutex_);
  operations_.push_back("read1");
  return Take(std::span<std::uint8_t>(&byte, 1), lock);
}

void FakeSerialLink::WritePort(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  std::string hex;
  for (std::uint8_t b : bytes) {
    char two[3];
    std::snprintf(two, sizeof two, "%02X", b);
    hex += two;
  }
  operations_.push_back("write " + hex);
  if (open_) written_.append(bytes.begin(), bytes.end());
}

std::size_t FakeSerialLink::Purge(platform::PurgeKind kind, std::span<std::uint8_t> tail) {
  std::lock_guard lock(mutex_);
  operations_.push_back(kind == platform::PurgeKind::kClearQueues ? "purge-clear" : "purge-all");
  std::size_t kept = 0;
  if (open_) {
    kept = std::min(tail.size(), line_.size());
    std::copy(line_.end() - static_cast<std::ptrdiff_t>(kept), line_.end(), tail.begin());
    if (!line_.empty()) last_timing_ = timings_.back();
    line_.clear();
    timings_.clear();
  }
  return kept;
}

void FakeSerialLink::ClearPortErrors() {
  std::lock_guard lock(mutex_);
  operations_.push_back("clear-errors");
  if (open_) {
    line_.clear();
    timings_.clear();
  }
}

void FakeSerialLink::PollPortEvents() {
  std::lock_guard lock(mutex_);
  operations_.push_back("poll");
}

void FakeSerialLink::IdleWait(std::chrono::milliseconds duration) {
  {
    std::lock_guard lock(mutex_);
    operations_.push_back("idle " + std::to_string(duration.count()));
  }
  if (idle_hook_) idle_hook_(duration);
}

void FakeSerialLink::AwaitInput(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  operations_.push_back("await " + std::to_string(limit.count()));
  changed_.wait_for(lock, std::min(limit, kStarvedReadWait),
                    [&] { return !open_ || nudged_ || !line_.empty(); });
  nudged_ = false;
}

void FakeSerialLink::NudgeInputWait() {
  std::lock_guard lock(mutex_);
  operations_.push_back("nudge");
  nudged_ = true;
  changed_.notify_all();
}

void FakeSerialLink::ClosePort() {
  std::lock_guard lock(mutex_);
  operations_.push_back("close");
  open_ = false;
  closed_for_good_ = true;
  changed_.notify_all();
}

}  // namespace orvik::testing

#include "fakes/scripted_line.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "core/read_deadlines.h"

namespace orvik::testing {

namespace {

using TimePoint = core::ReadDeadlines::TimePoint;

TimePoint AsTimePoint(core::MonotonicNanos at) {
  return TimePoint(std::chrono::duration_cast<TimePoint::duration>(std::chrono::nanoseconds(at)));
}

core::MonotonicNanos AsNanos(TimePoint at) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count();
}

// The most a read takes from the line at once, as the POSIX link.
constexpr std::size_t kChunk = 4096;

}  // namespace

void ScriptedLine::Insert(core::MonotonicNanos at, std::uint8_t byte) {
  const auto after =
      std::upper_bound(line_.begin(), line_.end(), at,
                       [](core::MonotonicNanos t, const Arrival& a) { return t < a.at; });
  line_.insert(after, Arrival{at, byte});
}

core::MonotonicNanos ScriptedLine::AtLineRate(core::MonotonicNanos start, std::string_view bytes,
                                              std::uint32_t baud, std::size_t clump) {
  std::lock_guard lock(mutex_);
  const std::int64_t character = core::CharacterNanos(baud);
  clump = std::max<std::size_t>(clump, 1);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::size_t clump_end = std::min(bytes.size(), (i / clump + 1) * clump);
    Insert(start + static_cast<std::int64_t>(clump_end) * character,
           static_cast<std::uint8_t>(bytes[i]));
  }
  return start + static_cast<std::int64_t>(bytes.size()) * character;
}

void ScriptedLine::AllAt(core::MonotonicNanos at, std::string_view bytes) {
  std::lock_guard lock(mutex_);
  for (const char c : bytes) Insert(at, static_cast<std::uint8_t>(c));
}

void ScriptedLine::EndAt(core::MonotonicNanos at) {
  std::lock_guard lock(mutex_);
  end_at_ = at;
}

bool ScriptedLine::Done() const {
  std::lock_guard lock(mutex_);
  return done_;
}

bool ScriptedLine::WaitUntilDone(std::chrono::milliseconds real_limit) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, real_limit, [this] { return done_; });
}

std::string ScriptedLine::Written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

bool ScriptedLine::AdvanceTo(core::MonotonicNanos to, std::unique_lock<std::mutex>& lock) {
  if (closed_) return false;
  // A script without an end ends where it would wait for ever.
  if (!end_at_ || to >= *end_at_) {
    if (end_at_ && Now() < *end_at_) clock_.AdvanceNanos(*end_at_ - Now());
    done_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return closed_; });
    return false;
  }
  if (to > Now()) clock_.AdvanceNanos(to - Now());
  return true;
}

std::optional<core::MonotonicNanos> ScriptedLine::NextArrival() const {
  if (line_.empty()) return std::nullopt;
  return line_.front().at;
}

bool ScriptedLine::ReadChunk(bool prompt) {
  std::size_t count = 0;
  while (!line_.empty() && line_.front().at <= Now() && count < kChunk) {
    rx_.push_back(static_cast<char>(line_.front().byte));
    line_.pop_front();
    ++count;
  }
  if (count == 0) return false;
  bursts_.OnChunk(count, Now(), prompt);
  return true;
}

std::size_t ScriptedLine::TakeBuffered(std::span<std::uint8_t> out) {
  const std::size_t taken = std::min(out.size(), rx_.size());
  std::copy_n(rx_.begin(), taken, out.begin());
  rx_.erase(0, taken);
  return taken;
}

platform::PortOpenResult ScriptedLine::OpenPort(const platform::PortConfig& config) {
  std::lock_guard lock(mutex_);
  if (closed_) return platform::PortOpenResult::Failed(core::PortFault::kOther, "closed");
  open_ = true;
  timeouts_ = config.timeouts;
  bursts_ = core::BurstTracker(core::CharacterNanos(config.baud));
  bursts_.Restart(Now());
  return platform::PortOpenResult::Opened();
}

bool ScriptedLine::IsOpen() const {
  std::lock_guard lock(mutex_);
  return open_ && !closed_;
}

platform::ReadOutcome ScriptedLine::ReadExact(std::span<std::uint8_t> buffer) {
  std::unique_lock lock(mutex_);
  if (!open_ || closed_) return {false, 0};
  const std::size_t n = buffer.size();
  std::size_t count = TakeBuffered(buffer);
  if (count == n) return {true, n};
  core::ReadDeadlines deadlines(timeouts_, n, count > 0, AsTimePoint(Now()));
  bool after_wait = false;
  while (true) {
    if (ReadChunk(after_wait)) {
      after_wait = false;
      count += TakeBuffered(buffer.subspan(count));
      if (count == n) return {true, n};
      deadlines.BytesArrived(AsTimePoint(Now()));
      continue;
    }
    const std::optional<TimePoint> deadline = deadlines.Next();
    const std::optional<core::MonotonicNanos> next = NextArrival();
    if (next && (!deadline || *next <= AsNanos(*deadline))) {
      if (!AdvanceTo(*next, lock)) return {false, count};
      after_wait = true;
      continue;
    }
    // Without time-outs a read waits for ever: the script ends there.
    AdvanceTo(deadline ? AsNanos(*deadline) : end_at_.value_or(Now()), lock);
    return {false, count};
  }
}

platform::ReadOutcome ScriptedLine::ReadOne(std::uint8_t& byte) {
  return ReadExact(std::span<std::uint8_t>(&byte, 1));
}

void ScriptedLine::WritePort(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  if (open_ && !closed_) written_.append(bytes.begin(), bytes.end());
}

std::size_t ScriptedLine::Purge(platform::PurgeKind /*kind*/, std::span<std::uint8_t> tail) {
  std::lock_guard lock(mutex_);
  if (!open_ || closed_) return 0;
  ReadChunk(/*prompt=*/false);
  const std::size_t kept = std::min(tail.size(), rx_.size());
  std::copy(rx_.end() - static_cast<std::ptrdiff_t>(kept), rx_.end(), tail.begin());
  rx_.clear();
  return kept;
}

core::ByteTiming ScriptedLine::LastByteTiming() const {
  std::lock_guard lock(mutex_);
  return bursts_.Latest();
}

void ScriptedLine::IdleWait(std::chrono::milliseconds duration) {
  std::unique_lock lock(mutex_);
  AdvanceTo(Now() + std::chrono::nanoseconds(duration).count(), lock);
}

void ScriptedLine::AwaitInput(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  if (!open_ || closed_ || !rx_.empty()) return;
  if (ReadChunk(/*prompt=*/false)) return;
  if (std::exchange(nudged_, false)) return;
  const core::MonotonicNanos until = Now() + std::chrono::nanoseconds(limit).count();
  const std::optional<core::MonotonicNanos> next = NextArrival();
  if (next && *next <= until) {
    if (AdvanceTo(*next, lock)) ReadChunk(/*prompt=*/true);
    return;
  }
  AdvanceTo(until, lock);
}

void ScriptedLine::NudgeInputWait() {
  std::lock_guard lock(mutex_);
  nudged_ = true;
}

void ScriptedLine::ClosePort() {
  std::lock_guard lock(mutex_);
  closed_ = true;
  open_ = false;
  changed_.notify_all();
}

}  // namespace orvik::testing

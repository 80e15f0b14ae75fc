#include "bench/churn_clients.h"

#include <sys/epoll.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>

namespace orvik::bench {
namespace {

// The listener's backlog is 5: a handshake that finds its queue full is
// dropped and retried by the kernel a second later, which only slows the
// churn. A loopback connect completes at once but waits in that queue until
// the server's thread accepts it, which this thread cannot see; so at most
// kConnectsPerWindow connects start within any kConnectWindow, and at most
// kMaxConnecting wait for a retried handshake.
constexpr int kConnectsPerWindow = 4;
constexpr auto kConnectWindow = std::chrono::milliseconds(20);
constexpr int kMaxConnecting = 64;
// A connect that takes longer than this was retried by the kernel.
constexpr auto kSlowConnect = std::chrono::milliseconds(500);
constexpr int kMaxReadsPerEvent = 16;
constexpr int kWaitMs = 10;
// A half-open client waits this long for the server to close before giving up.
constexpr auto kHalfOpenLimit = std::chrono::seconds(3);
constexpr auto kHalfOpenScanEvery = std::chrono::milliseconds(100);

}  // namespace

ChurnClients::ChurnClients(const Options& options,
                           const std::vector<std::atomic<std::int64_t>>& sent_ns,
                           const std::atomic<std::uint32_t>& records_sent)
    : options_(options),
      sent_ns_(sent_ns),
      records_sent_(records_sent),
      slots_(static_cast<std::size_t>(options.max_clients)),
      random_(options.seed) {
  for (std::uint32_t i = static_cast<std::uint32_t>(slots_.size()); i > 0; --i)
    free_.push_back(i - 1);
  thread_ = std::thread([this] { Run(); });
}

ChurnClients::~ChurnClients() {
  stop_ = true;
  Join();
}

void ChurnClients::Join() {
  if (thread_.joinable()) thread_.join();
}

void ChurnClients::Run() {
  const platform::UniqueFd epoll(epoll_create1(EPOLL_CLOEXEC));
  const auto start = BenchClock::now();
  const auto end = start + std::chrono::duration_cast<BenchClock::duration>(
                               std::chrono::duration<double>(options_.seconds));
  auto next_scan = start + kHalfOpenScanEvery;
  std::uint64_t churned = 0;
  std::array<epoll_event, 256> events;
  while (!stop_ && BenchClock::now() < end) {
    OpenNew(epoll.get());
    const int ready = epoll_wait(epoll.get(), events.data(), events.size(), kWaitMs);
    for (int i = 0; i < ready; ++i) OnEvent(epoll.get(), events[i].data.u32, events[i].events);
    const auto now = BenchClock::now();
    // Closes spread evenly over the run, whatever the loop's pace.
    const double elapsed = std::chrono::duration<double>(now - start).count();
    const auto due = static_cast<std::uint64_t>(elapsed * options_.closes_per_second);
    for (int k = 0; churned < due && k < 32; ++k, ++churned) ChurnOne(epoll.get());
    if (now >= next_scan) {
      ExpireHalfOpen(epoll.get());
      next_scan = now + kHalfOpenScanEvery;
    }
  }
  for (std::uint32_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i].state == State::kFree) continue;
    Close(epoll.get(), i,
          slots_[i].state == State::kConnecting ? CloseHow::kNeverConnected : CloseHow::kAtEnd);
  }
  figures_.thread_cpu_s = CpuSeconds(RUSAGE_THREAD);
  done_ = true;
}

void ChurnClients::OpenNew(int epoll_fd) {
  const auto now = BenchClock::now();
  while (!recent_connects_.empty() && now - recent_connects_.front() > kConnectWindow) {
    recent_connects_.pop_front();
  }
  while (!free_.empty() && connecting_ < kMaxConnecting &&
         recent_connects_.size() < static_cast<std::size_t>(kConnectsPerWindow)) {
    recent_connects_.push_back(now);
    platform::UniqueFd fd =
        ConnectLoopback(options_.port, LoopbackHostFor(figures_.connects_started));
    ++figures_.connects_started;
    if (!fd.valid()) {
      ++figures_.connect_failures;
      return;
    }
    const std::uint32_t index = free_.back();
    epoll_event event{};
    event.events = EPOLLIN | EPOLLOUT;
    event.data.u32 = index;
    if (epoll_ctl(epoll_fd, EPOLL_CTL_ADD, fd.get(), &event) != 0) {
      ++figures_.connect_failures;
      return;
    }
    free_.pop_back();
    Slot& slot = slots_[index];
    slot.fd = std::move(fd);
    slot.cutter = RecordCutter();
    slot.state = State::kConnecting;
    slot.last_sequence = -1;
    slot.since = BenchClock::now();
    ++open_;
    ++connecting_;
    figures_.peak_open = std::max(figures_.peak_open, open_);
  }
}

void ChurnClients::OnEvent(int epoll_fd, std::uint32_t index, std::uint32_t events) {
  Slot& slot = slots_[index];
  if (slot.state == State::kFree) return;  // closed earlier in this same batch
  if (slot.state == State::kConnecting) {
    int error = 0;
    socklen_t size = sizeof error;
    ::getsockopt(slot.fd.get(), SOL_SOCKET, SO_ERROR, &error, &size);
    if (error != 0) {
      ++figures_.connect_failures;
      Close(epoll_fd, index, CloseHow::kNeverConnected);
      return;
    }
    if ((events & EPOLLOUT) == 0) return;
    slot.state = State::kOpen;
    --connecting_;
    ++figures_.connections_made;
    if (BenchClock::now() - slot.since > kSlowConnect) ++figures_.slow_connects;
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u32 = index;
    epoll_ctl(epoll_fd, EPOLL_CTL_MOD, slot.fd.get(), &event);
  }
  if ((events & (EPOLLIN | EPOLLHUP | EPOLLERR | EPOLLRDHUP)) != 0) Read(epoll_fd, index);
}

void ChurnClients::Read(int epoll_fd, std::uint32_t index) {
  Slot& slot = slots_[index];
  std::array<std::uint8_t, 4096> buffer;
  for (int reads = 0; reads < kMaxReadsPerEvent; ++reads) {
    const ssize_t got = ::read(slot.fd.get(), buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0 && errno == EAGAIN) return;
    if (got <= 0) {
      Close(epoll_fd, index, CloseHow::kByServer);
      return;
    }
    for (const core::TimeMessage& record :
         slot.cutter.Push({buffer.data(), static_cast<std::size_t>(got)})) {
      Check(slot, record);
    }
  }
}

void ChurnClients::Check(Slot& slot, const core::TimeMessage& record) {
  const std::int64_t now = NowNs();
  ++figures_.records;
  const std::optional<std::uint32_t> sequence = CheckNumberedRecord(record);
  if (!sequence || *sequence >= records_sent_.load() || *sequence >= sent_ns_.size()) {
    ++figures_.corrupt_records;
    return;
  }
  const std::int64_t number = *sequence;
  if (number <= slot.last_sequence) ++figures_.out_of_order;
  if (slot.last_sequence >= 0 && number > slot.last_sequence + 1) {
    figures_.gaps += static_cast<std::uint64_t>(number - slot.last_sequence - 1);
  }
  slot.last_sequence = std::max(slot.last_sequence, number);
  figures_.max_lag_ns = std::max(figures_.max_lag_ns, now - sent_ns_[*sequence].load());
}

void ChurnClients::ChurnOne(int epoll_fd) {
  // A random open connection; a few tries are enough when most slots are busy.
  std::uniform_int_distribution<std::uint32_t> pick(0,
                                                    static_cast<std::uint32_t>(slots_.size() - 1));
  for (int tries = 0; tries < 8; ++tries) {
    const std::uint32_t index = pick(random_);
    Slot& slot = slots_[index];
    if (slot.state != State::kOpen) continue;
    switch (std::uniform_int_distribution<int>(0, 2)(random_)) {
      case 0:
        Close(epoll_fd, index, CloseHow::kOrderly);
        break;
      case 1:
        Close(epoll_fd, index, CloseHow::kReset);
        break;
      default:
        ::shutdown(slot.fd.get(), SHUT_WR);
        slot.state = State::kHalfOpen;
        slot.since = BenchClock::now();
        ++figures_.half_open;
        break;
    }
    return;
  }
}

void ChurnClients::ExpireHalfOpen(int epoll_fd) {
  const auto limit = BenchClock::now() - kHalfOpenLimit;
  for (std::uint32_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i].state == State::kHalfOpen && slots_[i].since < limit) {
      ++figures_.half_open_timed_out;
      // Never served: the server had not accepted it yet (a handshake the
      // kernel finished on this side only, the listener's queue being full).
      if (slots_[i].last_sequence < 0) ++figures_.half_open_timed_out_unserved;
      Close(epoll_fd, i, CloseHow::kOrderly);
    }
  }
}

void ChurnClients::Close(int epoll_fd, std::uint32_t index, CloseHow how) {
  Slot& slot = slots_[index];
  if (slot.cutter.pending() != 0) {
    if (how == CloseHow::kByServer) {
      ++figures_.partial_records;
    } else {
      ++figures_.unfinished_at_close;
    }
  }
  switch (how) {
    case CloseHow::kOrderly:
      ++figures_.closed_orderly;
      break;
    case CloseHow::kReset: {
      const linger hard{.l_onoff = 1, .l_linger = 0};
      ::setsockopt(slot.fd.get(), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
      ++figures_.closed_reset;
      break;
    }
    case CloseHow::kByServer:
      if (slot.state == State::kHalfOpen) {
        ++figures_.half_open_closed_by_server;
      } else {
        ++figures_.closed_by_server;
      }
      break;
    case CloseHow::kAtEnd:
      ++figures_.closed_at_end;
      break;
    case CloseHow::kNeverConnected:
      break;
  }
  if (slot.state == State::kConnecting) --connecting_;
  epoll_ctl(epoll_fd, EPOLL_CTL_DEL, slot.fd.get(), nullptr);
  slot.fd.reset();
  slot.state = State::kFree;
  free_.push_back(index);
  --open_;
  if (how != CloseHow::kNeverConnected) ++figures_.closed;
}

}  // namespace orvik::bench

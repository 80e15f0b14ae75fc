#include "service/posix/epoll_main_loop.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <deque>
#include <limits>
#include <mutex>
#include <set>
#include <span>
#include <system_error>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/posix/unique_fd.h"

namespace orvik::service {
namespace {

using Clock = std::chrono::steady_clock;
// A callback shared between its timer or watch and a pass that is calling
// it, so that the timer or watch may be destroyed from inside it.
using SharedWork = std::shared_ptr<const std::function<void()>>;

SharedWork Share(std::function<void()> work) {
  return std::make_shared<const std::function<void()>>(std::move(work));
}

}  // namespace

struct EpollMainLoop::Core {
  struct Timer {
    SharedWork work;
    bool repeating = false;
    Clock::duration interval{};
    std::uint64_t ticket = 0;  // the entry in `due`; 0 while stopped
    Clock::time_point when{};
  };
  struct Watch {
    int fd = -1;
    bool writable = false;
    // Holds its descriptor's entry in the epoll set. False once a newer watch
    // of the descriptor has taken over, once the descriptor was found closed,
    // or when epoll refused it: nothing of the watch runs then.
    bool registered = false;
    SharedWork on_readable;
    SharedWork on_writable;
  };
  // What the eventfd's entry carries; watch ids start at 1.
  static constexpr std::uint64_t kWakeEntry = 0;

  platform::UniqueFd epoll;
  platform::UniqueFd wake;
  std::atomic<bool> quit{false};

  std::mutex posted_mutex;
  std::deque<std::function<void()>> posted;  // guarded by posted_mutex

  // Everything below belongs to the main thread.
  std::uint64_t next_id = 1;  // timer ids, watch ids and tickets alike; never reused
  std::unordered_map<std::uint64_t, Timer> timers;
  // (due time, ticket, timer id), earliest first. A pass runs from a copy of
  // the due entries and skips one whose timer no longer holds its ticket
  // (stopped, restarted or destroyed by an earlier callback).
  std::set<std::tuple<Clock::time_point, std::uint64_t, std::uint64_t>> due;
  std::unordered_map<std::uint64_t, Watch> watches;
  // Descriptor -> the watch whose id its epoll entry carries. The entry may
  // be gone already (the descriptor closed under its watch); the next
  // epoll_ctl on the number finds that out.
  std::unordered_map<int, std::uint64_t> entries;
  std::vector<epoll_event> ready;  // what one wait returns: room for every entry
  bool precise_wait = true;        // epoll_pwait2 works (Linux 5.11 on)

  void Wake() {
    const std::uint64_t one = 1;
    // A full counter (never in practice) is awake already.
    [[maybe_unused]] const ssize_t n = ::write(wake.get(), &one, sizeof one);
  }

  void Schedule(std::uint64_t id, Timer& timer, Clock::time_point when) {
    Unschedule(id, timer);
    timer.ticket = next_id++;
    timer.when = when;
    due.emplace(when, timer.ticket, id);
  }
  void Unschedule(std::uint64_t id, Timer& timer) {
    if (timer.ticket == 0) return;
    due.erase({timer.when, timer.ticket, id});
    timer.ticket = 0;
  }

  static epoll_event Interest(std::uint64_t id, const Watch& watch) {
    epoll_event event{};
    event.events = EPOLLIN | (watch.writable ? EPOLLOUT : 0u);
    event.data.u64 = id;
    return event;
  }
  void Register(std::uint64_t id, Watch& watch);
  void UpdateInterest(std::uint64_t id, Watch& watch);
  void Unregister(Watch& watch);

  void Pass();
  int Wait();
  void RunPosted();
  void RunDueTimers();
  void RunSocketNotifications(int count);
};

namespace {

class EpollTimer : public LoopTimer {
 public:
  EpollTimer(std::shared_ptr<EpollMainLoop::Core> core, std::function<void()> work)
      : core_(std::move(core)), id_(core_->next_id++) {
    core_->timers[id_].work = Share(std::move(work));
  }
  ~EpollTimer() override {
    Stop();
    core_->timers.erase(id_);
  }

  void Start(std::chrono::milliseconds interval) override { Begin(true, interval); }
  void StartOnce(std::chrono::milliseconds delay) override { Begin(false, delay); }
  void Stop() override { core_->Unschedule(id_, core_->timers.at(id_)); }
  bool IsActive() const override { return core_->timers.at(id_).ticket != 0; }

 private:
  void Begin(bool repeating, std::chrono::milliseconds interval) {
    EpollMainLoop::Core::Timer& timer = core_->timers[id_];
    timer.repeating = repeating;
    timer.interval = std::max(interval, std::chrono::milliseconds(0));
    core_->Schedule(id_, timer, Clock::now() + timer.interval);
  }

  std::shared_ptr<EpollMainLoop::Core> core_;
  std::uint64_t id_;
};

class EpollSocketWatch : public SocketWatch {
 public:
  EpollSocketWatch(std::shared_ptr<EpollMainLoop::Core> core, int fd,
                   std::function<void()> on_readable, std::function<void()> on_writable)
      : core_(std::move(core)), id_(core_->next_id++) {
    EpollMainLoop::Core::Watch& watch = core_->watches[id_];
    watch.fd = fd;
    watch.on_readable = Share(std::move(on_readable));
    watch.on_writable = Share(std::move(on_writable));
    core_->Register(id_, watch);
  }
  ~EpollSocketWatch() override {
    core_->Unregister(core_->watches.at(id_));
    core_->watches.erase(id_);
  }

  void WatchWritable(bool on) override {
    EpollMainLoop::Core::Watch& watch = core_->watches.at(id_);
    if (watch.writable == on) return;
    watch.writable = on;
    core_->UpdateInterest(id_, watch);
  }

 private:
  std::shared_ptr<EpollMainLoop::Core> core_;
  std::uint64_t id_;
};

}  // namespace

void EpollMainLoop::Core::Register(std::uint64_t id, Watch& watch) {
  epoll_event event = Interest(id, watch);
  if (const auto entry = entries.find(watch.fd); entry != entries.end()) {
    // Another watch holds the number: this one takes its entry over. Had the
    // number been closed and reused meanwhile, the entry left with the old
    // descriptor (ENOENT) and a new one is added below.
    if (const auto previous = watches.find(entry->second); previous != watches.end()) {
      previous->second.registered = false;
    }
    entries.erase(entry);
    if (::epoll_ctl(epoll.get(), EPOLL_CTL_MOD, watch.fd, &event) == 0) {
      entries[watch.fd] = id;
      watch.registered = true;
      return;
    }
  }
  if (::epoll_ctl(epoll.get(), EPOLL_CTL_ADD, watch.fd, &event) == 0) {
    entries[watch.fd] = id;
    watch.registered = true;
  }
  // Otherwise nothing epoll can watch (a descriptor closed already, say):
  // the watch stays silent, like one whose descriptor was closed under it.
}

void EpollMainLoop::Core::UpdateInterest(std::uint64_t id, Watch& watch) {
  if (!watch.registered) return;
  epoll_event event = Interest(id, watch);
  if (::epoll_ctl(epoll.get(), EPOLL_CTL_MOD, watch.fd, &event) != 0) {
    Unregister(watch);  // closed under its watch: the entry left with it
  }
}

void EpollMainLoop::Core::Unregister(Watch& watch) {
  if (!watch.registered) return;
  watch.registered = false;
  entries.erase(watch.fd);
  // Fails (EBADF, ENOENT) when the descriptor was closed under its watch:
  // the kernel took the entry out of the set then.
  [[maybe_unused]] const int result = ::epoll_ctl(epoll.get(), EPOLL_CTL_DEL, watch.fd, nullptr);
}

void EpollMainLoop::Core::Pass() {
  if (ready.size() < watches.size() + 1) ready.resize(watches.size() + 1);
  const int count = Wait();
  if (count < 0) {
    if (errno == EINTR) return;
    throw std::system_error(errno, std::generic_category(), "epoll_wait");
  }
  const auto received = std::span(ready).first(static_cast<std::size_t>(count));
  if (std::any_of(received.begin(), received.end(),
                  [](const epoll_event& event) { return event.data.u64 == kWakeEntry; })) {
    std::uint64_t rings = 0;
    [[maybe_unused]] const ssize_t n = ::read(wake.get(), &rings, sizeof rings);
    RunPosted();
  }
  if (!quit) RunDueTimers();
  if (!quit) RunSocketNotifications(count);
}

int EpollMainLoop::Core::Wait() {
  const int capacity =
      static_cast<int>(std::min<std::size_t>(ready.size(), std::numeric_limits<int>::max()));
  if (due.empty()) return ::epoll_wait(epoll.get(), ready.data(), capacity, -1);
  const auto left = std::max(std::get<0>(*due.begin()) - Clock::now(), Clock::duration(0));
  if (precise_wait) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    timespec wait{};
    wait.tv_sec = static_cast<time_t>(seconds.count());
    wait.tv_nsec = static_cast<long>(std::chrono::nanoseconds(left - seconds).count());
    const int count = ::epoll_pwait2(epoll.get(), ready.data(), capacity, &wait, nullptr);
    if (count >= 0 || errno != ENOSYS) return count;
    precise_wait = false;  // a kernel before 5.11
  }
  // Whole milliseconds, rounded up: waking before the timer is due would spin.
  const std::int64_t milliseconds = std::chrono::ceil<std::chrono::milliseconds>(left).count();
  return ::epoll_wait(epoll.get(), ready.data(), capacity,
                      static_cast<int>(std::min<std::int64_t>(milliseconds, INT32_MAX)));
}

void EpollMainLoop::Core::RunPosted() {
  // Only what was queued when this began: work that posts work cannot hold
  // the loop here.
  std::size_t pending = 0;
  {
    std::lock_guard lock(posted_mutex);
    pending = posted.size();
  }
  for (; pending > 0 && !quit; --pending) {
    std::function<void()> work;
    {
      std::lock_guard lock(posted_mutex);
      if (posted.empty()) return;
      work = std::move(posted.front());
      posted.pop_front();
    }
    work();  // a quitting loop keeps the rest for its next Run
  }
}

void EpollMainLoop::Core::RunDueTimers() {
  const Clock::time_point now = Clock::now();
  std::vector<std::tuple<Clock::time_point, std::uint64_t, std::uint64_t>> ready_timers(
      due.begin(), due.upper_bound({now, UINT64_MAX, UINT64_MAX}));
  for (const auto& [when, ticket, id] : ready_timers) {
    if (quit) return;
    const auto found = timers.find(id);
    if (found == timers.end() || found->second.ticket != ticket) continue;  // stopped or restarted
    Timer& timer = found->second;
    SharedWork work = timer.work;
    if (timer.repeating) {
      // The next beat keeps to the original rhythm unless the loop fell
      // a whole interval behind; then it counts from now.
      Clock::time_point next = when + timer.interval;
      if (next <= now) next = now + timer.interval;
      Schedule(id, timer, next);
    } else {
      Unschedule(id, timer);
    }
    (*work)();
  }
}

void EpollMainLoop::Core::RunSocketNotifications(int count) {
  constexpr std::uint32_t kReadable = EPOLLIN | EPOLLPRI | EPOLLHUP | EPOLLERR;
  // By id, looked up again before each call: a watch destroyed, taken over
  // or found closed by an earlier callback of this pass is not called.
  const auto live = [this](std::uint64_t id) {
    const auto found = watches.find(id);
    return found != watches.end() && found->second.registered ? found : watches.end();
  };
  for (int i = 0; i < count; ++i) {
    const std::uint32_t events = ready[static_cast<std::size_t>(i)].events;
    const std::uint64_t id = ready[static_cast<std::size_t>(i)].data.u64;
    if (id == kWakeEntry) continue;
    auto found = live(id);
    if (found == watches.end()) continue;
    if (events & kReadable) {
      SharedWork work = found->second.on_readable;
      (*work)();
      if (quit) return;
      found = live(id);
      if (found == watches.end()) continue;
    }
    if ((events & EPOLLOUT) && found->second.writable) {
      SharedWork work = found->second.on_writable;
      (*work)();
      if (quit) return;
    }
  }
}

EpollMainLoop::EpollMainLoop() : core_(std::make_shared<Core>()) {
  core_->epoll.reset(::epoll_create1(EPOLL_CLOEXEC));
  if (!core_->epoll.valid()) {
    throw std::system_error(errno, std::generic_category(), "epoll_create1");
  }
  core_->wake.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!core_->wake.valid()) throw std::system_error(errno, std::generic_category(), "eventfd");
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = Core::kWakeEntry;
  if (::epoll_ctl(core_->epoll.get(), EPOLL_CTL_ADD, core_->wake.get(), &event) != 0) {
    throw std::system_error(errno, std::generic_category(), "epoll_ctl");
  }
}

EpollMainLoop::~EpollMainLoop() {
  // Queued work is dropped here, not when the last timer or watch lets go
  // of the core: a thread waiting for its hand-over goes on now.
  std::deque<std::function<void()>> dropped;
  std::lock_guard lock(core_->posted_mutex);
  dropped.swap(core_->posted);
}

void EpollMainLoop::Post(std::function<void()> work) {
  {
    std::lock_guard lock(core_->posted_mutex);
    core_->posted.push_back(std::move(work));
  }
  core_->Wake();
}

std::unique_ptr<LoopTimer> EpollMainLoop::MakeTimer(std::function<void()> work) {
  return std::make_unique<EpollTimer>(core_, std::move(work));
}

std::unique_ptr<SocketWatch> EpollMainLoop::WatchSocket(NativeSocket socket,
                                                        std::function<void()> on_readable,
                                                        std::function<void()> on_writable) {
  return std::make_unique<EpollSocketWatch>(core_, static_cast<int>(socket), std::move(on_readable),
                                            std::move(on_writable));
}

void EpollMainLoop::Run() {
  core_->quit = false;
  while (!core_->quit) core_->Pass();
}

void EpollMainLoop::Quit() {
  core_->quit = true;
  core_->Wake();
}

}  // namespace orvik::service

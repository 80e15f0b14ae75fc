#include "service/posix/poll_main_loop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/unique_fd.h"

namespace orvik::service {
namespace {

using Clock = std::chrono::steady_clock;
// A callback shared between its timer or watch and a pass that is calling
// it, so that the timer or watch may be destroyed from inside it.
using SharedWork = std::shared_ptr<const std::function<void()>>;

SharedWork Share(std::function<void()> work) {
  return std::make_shared<const std::function<void()>>(std::move(work));
}

// Where a thread in RunInMainThread waits for its work.
struct Handover {
  std::mutex mutex;
  std::condition_variable changed;
  bool done = false;
};

// Lets the waiting thread go on when the posted work has run or the loop has
// dropped it unrun: destroyed with the last copy of the posted function.
class HandoverDone {
 public:
  explicit HandoverDone(std::shared_ptr<Handover> handover) : handover_(std::move(handover)) {}
  ~HandoverDone() {
    std::lock_guard lock(handover_->mutex);
    handover_->done = true;
    handover_->changed.notify_all();
  }
  HandoverDone(const HandoverDone&) = delete;
  HandoverDone& operator=(const HandoverDone&) = delete;

 private:
  std::shared_ptr<Handover> handover_;
};

}  // namespace

struct PollMainLoop::Core {
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
    bool closed = false;  // poll() found the descriptor closed: no longer polled
    SharedWork on_readable;
    SharedWork on_writable;
  };

  platform::UniqueFd wake;
  std::thread::id main_thread = std::this_thread::get_id();
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
  std::map<std::uint64_t, Watch> watches;
  bool watches_changed = true;
  std::vector<pollfd> poll_fds;            // [0] is `wake`
  std::vector<std::uint64_t> poll_watches;  // the watch id of poll_fds[i + 1]

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

  void Pass();
  void RefreshPollSet();
  void RunPosted();
  void RunDueTimers();
  void RunSocketNotifications();
};

namespace {

class PollTimer : public LoopTimer {
 public:
  PollTimer(std::shared_ptr<PollMainLoop::Core> core, std::function<void()> work)
      : core_(std::move(core)), id_(core_->next_id++) {
    core_->timers[id_].work = Share(std::move(work));
  }
  ~PollTimer() override {
    Stop();
    core_->timers.erase(id_);
  }

  void Start(std::chrono::milliseconds interval) override { Begin(true, interval); }
  void StartOnce(std::chrono::milliseconds delay) override { Begin(false, delay); }
  void Stop() override { core_->Unschedule(id_, core_->timers.at(id_)); }
  bool IsActive() const override { return core_->timers.at(id_).ticket != 0; }

 private:
  void Begin(bool repeating, std::chrono::milliseconds interval) {
    PollMainLoop::Core::Timer& timer = core_->timers[id_];
    timer.repeating = repeating;
    timer.interval = std::max(interval, std::chrono::milliseconds(0));
    core_->Schedule(id_, timer, Clock::now() + timer.interval);
  }

  std::shared_ptr<PollMainLoop::Core> core_;
  std::uint64_t id_;
};

class PollSocketWatch : public SocketWatch {
 public:
  PollSocketWatch(std::shared_ptr<PollMainLoop::Core> core, int fd,
                  std::function<void()> on_readable, std::function<void()> on_writable)
      : core_(std::move(core)), id_(core_->next_id++) {
    PollMainLoop::Core::Watch& watch = core_->watches[id_];
    watch.fd = fd;
    watch.on_readable = Share(std::move(on_readable));
    watch.on_writable = Share(std::move(on_writable));
    core_->watches_changed = true;
  }
  ~PollSocketWatch() override {
    core_->watches.erase(id_);
    core_->watches_changed = true;
  }

  void WatchWritable(bool on) override {
    PollMainLoop::Core::Watch& watch = core_->watches.at(id_);
    if (watch.writable == on) return;
    watch.writable = on;
    core_->watches_changed = true;
  }

 private:
  std::shared_ptr<PollMainLoop::Core> core_;
  std::uint64_t id_;
};

}  // namespace

void PollMainLoop::Core::RefreshPollSet() {
  if (!watches_changed) return;
  watches_changed = false;
  poll_fds.resize(1);
  poll_fds[0] = pollfd{wake.get(), POLLIN, 0};
  poll_watches.clear();
  for (const auto& [id, watch] : watches) {
    const short events = static_cast<short>(POLLIN | (watch.writable ? POLLOUT : 0));
    poll_fds.push_back(pollfd{watch.closed ? -1 : watch.fd, events, 0});
    poll_watches.push_back(id);
  }
}

void PollMainLoop::Core::Pass() {
  RefreshPollSet();
  timespec wait{};
  const timespec* timeout = nullptr;  // no timer: until something happens
  if (!due.empty()) {
    const auto left = std::max(std::get<0>(*due.begin()) - Clock::now(), Clock::duration(0));
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    wait.tv_sec = static_cast<time_t>(seconds.count());
    wait.tv_nsec = static_cast<long>(std::chrono::nanoseconds(left - seconds).count());
    timeout = &wait;
  }
  for (pollfd& entry : poll_fds) entry.revents = 0;
  if (::ppoll(poll_fds.data(), poll_fds.size(), timeout, nullptr) < 0) {
    if (errno == EINTR) return;
    throw std::system_error(errno, std::generic_category(), "ppoll");
  }
  if (poll_fds[0].revents != 0) {
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(wake.get(), &count, sizeof count);
    RunPosted();
  }
  if (!quit) RunDueTimers();
  if (!quit) RunSocketNotifications();
}

void PollMainLoop::Core::RunPosted() {
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

void PollMainLoop::Core::RunDueTimers() {
  const Clock::time_point now = Clock::now();
  std::vector<std::tuple<Clock::time_point, std::uint64_t, std::uint64_t>> ready(
      due.begin(), due.upper_bound({now, UINT64_MAX, UINT64_MAX}));
  for (const auto& [when, ticket, id] : ready) {
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

void PollMainLoop::Core::RunSocketNotifications() {
  constexpr short kReadable = POLLIN | POLLPRI | POLLHUP | POLLERR;
  for (std::size_t i = 1; i < poll_fds.size(); ++i) {
    const short events = poll_fds[i].revents;
    if (events == 0) continue;
    const std::uint64_t id = poll_watches[i - 1];
    auto found = watches.find(id);
    if (found == watches.end()) continue;  // destroyed by an earlier callback
    if (events & POLLNVAL) {
      // Closed under its watch: polling it again would only spin.
      found->second.closed = true;
      watches_changed = true;
      continue;
    }
    if (events & kReadable) {
      SharedWork work = found->second.on_readable;
      (*work)();
      if (quit) return;
      found = watches.find(id);
      if (found == watches.end()) continue;
    }
    if ((events & POLLOUT) && found->second.writable) {
      SharedWork work = found->second.on_writable;
      (*work)();
      if (quit) return;
    }
  }
}

PollMainLoop::PollMainLoop() : core_(std::make_shared<Core>()) {
  core_->wake.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!core_->wake.valid()) throw std::system_error(errno, std::generic_category(), "eventfd");
}

PollMainLoop::~PollMainLoop() {
  // Queued work is dropped here, not when the last timer or watch lets go
  // of the core: a thread waiting in RunInMainThread goes on now.
  std::deque<std::function<void()>> dropped;
  std::lock_guard lock(core_->posted_mutex);
  dropped.swap(core_->posted);
}

void PollMainLoop::RunInMainThread(const std::function<void()>& work) {
  if (std::this_thread::get_id() == core_->main_thread) {
    work();
    return;
  }
  auto handover = std::make_shared<Handover>();
  Post([&work, done = std::make_shared<HandoverDone>(handover)] { work(); });
  std::unique_lock lock(handover->mutex);
  handover->changed.wait(lock, [&] { return handover->done; });
}

void PollMainLoop::Post(std::function<void()> work) {
  {
    std::lock_guard lock(core_->posted_mutex);
    core_->posted.push_back(std::move(work));
  }
  core_->Wake();
}

std::unique_ptr<LoopTimer> PollMainLoop::MakeTimer(std::function<void()> work) {
  return std::make_unique<PollTimer>(core_, std::move(work));
}

std::unique_ptr<SocketWatch> PollMainLoop::WatchSocket(NativeSocket socket,
                                                       std::function<void()> on_readable,
                                                       std::function<void()> on_writable) {
  return std::make_unique<PollSocketWatch>(core_, static_cast<int>(socket),
                                           std::move(on_readable), std::move(on_writable));
}

void PollMainLoop::Run() {
  core_->quit = false;
  while (!core_->quit) core_->Pass();
}

void PollMainLoop::Quit() {
  core_->quit = true;
  core_->Wake();
}

}  // namespace orvik::service

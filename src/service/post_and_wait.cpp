#include "service/post_and_wait.h"

#include <utility>

namespace orvik::service {

namespace {

enum class Progress { kQueued, kRunning, kSettled };

// One hand-over as its waiter sees it; lives on the waiter's stack.
struct WaitingHandOver {
  const std::function<void()>& work;
  Progress progress = Progress::kQueued;  // guarded by the gate's mutex
};

}  // namespace

// The posted side of one hand-over, owned by the posted function alone (its
// copies share it). It reaches the waiter's stack only while the waiter is
// sure to wait: before the gate closes, or while the work it began runs.
class PostedHandOver {
 public:
  PostedHandOver(std::shared_ptr<HandOverGate> gate, WaitingHandOver& waiter)
      : gate_(std::move(gate)), waiter_(waiter) {}
  // Dropped unrun while the gate is open: the waiter goes on.
  ~PostedHandOver() {
    {
      const std::lock_guard lock(gate_->mutex_);
      if (settled_ || gate_->closed_) return;
      waiter_.progress = Progress::kSettled;
    }
    gate_->changed_.notify_all();
  }
  PostedHandOver(const PostedHandOver&) = delete;
  PostedHandOver& operator=(const PostedHandOver&) = delete;

  void Run() {
    {
      const std::lock_guard lock(gate_->mutex_);
      if (settled_) return;
      settled_ = true;
      if (gate_->closed_) return;  // its waiter went, or goes, without it
      waiter_.progress = Progress::kRunning;
    }
    // Without the lock: the work may close the gate, or hand over itself.
    waiter_.work();
    {
      const std::lock_guard lock(gate_->mutex_);
      waiter_.progress = Progress::kSettled;
    }
    // After the unlock, so the waiter does not wake into a held mutex; the
    // condition variable is the gate's, which this object keeps alive.
    gate_->changed_.notify_all();
  }

 private:
  const std::shared_ptr<HandOverGate> gate_;
  WaitingHandOver& waiter_;
  bool settled_ = false;  // guarded by the gate's mutex: ran, or refused
};

void HandOverGate::Close() {
  {
    const std::lock_guard lock(mutex_);
    closed_ = true;
  }
  changed_.notify_all();
}

void PostAndWait(const PostToMainThread& post, const std::function<void()>& work,
                 const std::shared_ptr<HandOverGate>& gate) {
  WaitingHandOver waiter{.work = work};
  {
    const std::lock_guard lock(gate->mutex_);
    if (gate->closed_) return;
  }
  post([posted = std::make_shared<PostedHandOver>(gate, waiter)] { posted->Run(); });
  std::unique_lock lock(gate->mutex_);
  gate->changed_.wait(lock, [&] {
    return waiter.progress == Progress::kSettled ||
           (gate->closed_ && waiter.progress == Progress::kQueued);
  });
}

}  // namespace orvik::service

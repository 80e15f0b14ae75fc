// PostAndWait: the blocking hand-over of every main loop, built on its
// Post(). The work is posted and the calling thread waits until it has run,
// or until the loop dropped it unrun (the loop ended first): the waiter is
// let go when the last copy of the posted function is destroyed, whichever
// way that happens. The wait is on a standard mutex, so a thread checker
// sees the hand-over for what it is.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include "service/main_loop.h"

namespace orvik::service {

namespace post_and_wait_detail {

struct Completion {
  std::mutex mutex;
  std::condition_variable changed;
  bool done = false;
};

// Owned by the posted function alone: its destruction is the signal.
class CompletionSignal {
 public:
  explicit CompletionSignal(std::shared_ptr<Completion> completion)
      : completion_(std::move(completion)) {}
  ~CompletionSignal() {
    const std::lock_guard lock(completion_->mutex);
    completion_->done = true;
    completion_->changed.notify_all();
  }
  CompletionSignal(const CompletionSignal&) = delete;
  CompletionSignal& operator=(const CompletionSignal&) = delete;

 private:
  std::shared_ptr<Completion> completion_;
};

}  // namespace post_and_wait_detail

// Posts `work` to `loop` and waits until it has run or was dropped unrun.
inline void PostAndWait(MainLoop& loop, const std::function<void()>& work) {
  using post_and_wait_detail::Completion;
  using post_and_wait_detail::CompletionSignal;
  auto completion = std::make_shared<Completion>();
  loop.Post([&work, signal = std::make_shared<CompletionSignal>(completion)] { work(); });
  std::unique_lock lock(completion->mutex);
  completion->changed.wait(lock, [&] { return completion->done; });
}

}  // namespace orvik::service

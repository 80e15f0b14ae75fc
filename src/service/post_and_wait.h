// PostAndWait: the one blocking hand-over into the main thread, built on a
// main loop's Post(). The work is posted and the calling thread waits until
// the loop has run it, until the loop dropped it unrun (the loop ended
// first: the waiter goes when the last copy of the posted function is
// destroyed), or until the hand-over's gate is closed before the work began
// (it then never runs). The waits are on standard mutexes, so a thread
// checker sees the hand-over for what it is.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

namespace orvik::service {

// Queues work to run in the main thread, after what is already queued, and
// never waits: a main loop's Post.
using PostToMainThread = std::function<void(std::function<void()>)>;

// The gate the blocking hand-overs pass through. Shared by the waiters and
// the work they posted, which may stay queued after its waiter has gone.
class HandOverGate {
 public:
  // Any thread, never waits for work: a waiting hand-over whose work has not
  // begun is released (the work never runs), one whose work runs is released
  // when it ends, and every later hand-over returns at once.
  void Close();

 private:
  friend void PostAndWait(const PostToMainThread& post, const std::function<void()>& work,
                          const std::shared_ptr<HandOverGate>& gate);
  friend class PostedHandOver;

  std::mutex mutex_;
  // Notified when a hand-over is settled and when the gate closes.
  std::condition_variable changed_;
  bool closed_ = false;  // guarded by mutex_
};

// Posts `work` with `post` and waits as said above. Returns at once, the
// work unrun, when `gate` is closed. REQUIRES: called outside the main
// thread (the main thread would wait for itself).
void PostAndWait(const PostToMainThread& post, const std::function<void()>& work,
                 const std::shared_ptr<HandOverGate>& gate);

}  // namespace orvik::service

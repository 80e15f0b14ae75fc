// HandOverBridge: the acquisition thread's way into the main thread. Each
// hand-over is posted to the main loop and the calling thread waits until
// the loop has run it (PostAndWait). Once the bridge is closed (a run ends,
// and nothing may serve the loop meanwhile), the hand-over waiting is
// released without its work having run, and every later one returns at
// once: a thread blocked in a hand-over can always be ended.
//
// Threads: RunInMainThread from any thread; the constructor (whose thread
// is the main thread), Close and the destructor in the main thread.
#pragma once

#include <functional>
#include <memory>
#include <thread>

#include "service/main_thread_bridge.h"
#include "service/post_and_wait.h"

namespace orvik::service {

class HandOverBridge : public MainThreadBridge {
 public:
  // `post` queues work for the main loop: its Post.
  explicit HandOverBridge(PostToMainThread post);
  // Closes the bridge.
  ~HandOverBridge() override;

  HandOverBridge(const HandOverBridge&) = delete;
  HandOverBridge& operator=(const HandOverBridge&) = delete;

  // Runs `work` from the main loop and returns after it has run, or once the
  // bridge is closed (the work then never runs). Called from the main thread
  // itself, runs it directly.
  void RunInMainThread(const std::function<void()>& work) override;
  // Releases the hand-over waiting and refuses every later one.
  void Close() { gate_->Close(); }

 private:
  const PostToMainThread post_;
  const std::thread::id main_thread_;
  // Shared with the posted work, which may outlive the bridge in the loop's queue.
  const std::shared_ptr<HandOverGate> gate_;
};

}  // namespace orvik::service

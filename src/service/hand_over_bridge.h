// HandOverBridge: the acquisition thread's way into the main thread. Each
// hand-over is posted to the main loop and the calling thread waits until
// the loop has run it. Once the bridge is closed (the service is ending
// without its loop running), the hand-over waiting is released without its
// work having run, and every later one returns at once: a thread blocked in
// a hand-over can always be ended.
//
// Threads: RunInMainThread from any thread; the constructor, Close and the
// destructor in the main thread.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "service/main_loop.h"
#include "service/main_thread_bridge.h"

namespace orvik::service {

class HandOverBridge : public MainThreadBridge {
 public:
  // `loop` must outlive this object.
  explicit HandOverBridge(MainLoop& loop);
  // Closes the bridge.
  ~HandOverBridge() override;

  HandOverBridge(const HandOverBridge&) = delete;
  HandOverBridge& operator=(const HandOverBridge&) = delete;

  // Runs `work` from the main loop and returns after it has run, or once the
  // bridge is closed (the work then never runs). Called from the main thread
  // itself, runs it directly.
  void RunInMainThread(const std::function<void()>& work) override;
  // Releases the hand-over waiting and refuses every later one.
  void Close();

 private:
  // Shared with the posted work, which may outlive the bridge in the loop's queue.
  struct Gate {
    std::mutex mutex;
    std::condition_variable settled;
    bool closed = false;  // guarded by mutex
  };

  MainLoop& loop_;
  const std::thread::id main_thread_;
  const std::shared_ptr<Gate> gate_;
};

}  // namespace orvik::service

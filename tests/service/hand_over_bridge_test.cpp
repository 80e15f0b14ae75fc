// The acquisition thread's blocking hand-over into the main thread: the work
// runs in the main thread while its caller waits, and neither a closed
// bridge nor a loop that ends first ever leaves a caller waiting.
#include "service/hand_over_bridge.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "service/posix/epoll_main_loop.h"
#include "support/run_bounded.h"
#include "support/wait_until.h"

namespace orvik::testing {
namespace {

using std::chrono::milliseconds;
constexpr milliseconds kLimit{5000};

// The main thread's queue, served by the test's own hand.
class QueueServedByHand {
 public:
  service::PostToMainThread Post() {
    return [this](std::function<void()> work) {
      const std::lock_guard lock(mutex_);
      queue_.push_back(std::move(work));
      ++posted;
    };
  }
  // Runs what is queued, in the calling thread.
  void Serve() {
    std::deque<std::function<void()>> taken;
    {
      const std::lock_guard lock(mutex_);
      taken.swap(queue_);
    }
    for (const std::function<void()>& work : taken) work();
  }
  std::atomic<int> posted{0};

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> queue_;  // guarded by mutex_
};

// A caller in a thread of its own; the test ends by a bound, never hangs.
class Caller {
 public:
  explicit Caller(std::function<void()> call)
      : thread_([this, call = std::move(call)] {
          call();
          returned = true;
        }) {}
  ~Caller() {
    if (returned)
      thread_.join();
    else
      thread_.detach();  // reported by the test; joining would hang the suite
  }
  bool Returns() const {
    return WaitUntil([this] { return returned.load(); }, kLimit, milliseconds(1));
  }
  std::atomic<bool> returned{false};

 private:
  std::thread thread_;
};

// Moved from the main loops' own tests: the hand-over is the loop's Post.
TEST(HandOverBridgeTest, TheWorkRunsInTheMainThreadWhileItsCallerWaits) {
  service::EpollMainLoop loop;
  service::HandOverBridge bridge(std::bind_front(&service::MainLoop::Post, &loop));
  const std::thread::id main_thread = std::this_thread::get_id();
  std::thread::id ran_in;
  bool ran_before_return = false;
  Caller caller([&] {
    bool ran = false;
    bridge.RunInMainThread([&] {
      ran_in = std::this_thread::get_id();
      ran = true;
    });
    ran_before_return = ran;
    loop.Post([&] { loop.Quit(); });
  });
  RunBounded(loop);
  ASSERT_TRUE(caller.Returns());
  EXPECT_EQ(ran_in, main_thread);
  EXPECT_TRUE(ran_before_return);

  // The main thread's own hand-over runs at once, without the loop.
  bool ran_directly = false;
  bridge.RunInMainThread([&] { ran_directly = true; });
  EXPECT_TRUE(ran_directly);
}

// The main thread closes, not serving the loop meanwhile, before the work
// began or from inside it: the caller goes on (in the second case only once
// the work has ended), and a later hand-over is refused at once.
TEST(HandOverBridgeTest, CloseReleasesAWaitingCallerAndRefusesNewWork) {
  for (const bool inside_the_work : {false, true}) {
    SCOPED_TRACE(inside_the_work ? "closed inside the work" : "closed before the work");
    QueueServedByHand main_thread;
    service::HandOverBridge bridge(main_thread.Post());
    std::atomic<bool> ran = false;
    bool ended_before_return = false;
    Caller caller([&] {
      bridge.RunInMainThread([&] {
        if (inside_the_work) {
          bridge.Close();
          // Time for a caller released too early to get back.
          WaitUntil([&] { return caller.returned.load(); }, milliseconds(100));
        }
        ran = true;
      });
      ended_before_return = ran == inside_the_work;
    });
    ASSERT_TRUE(WaitUntil([&] { return main_thread.posted == 1; }, kLimit));
    if (!inside_the_work) {
      bridge.Close();
      ASSERT_TRUE(caller.Returns()) << "released unserved";
    }
    main_thread.Serve();
    ASSERT_TRUE(caller.Returns());
    EXPECT_EQ(ran, inside_the_work) << "work reached after its caller was released";
    EXPECT_TRUE(ended_before_return);

    Caller later([&] { bridge.RunInMainThread([&] { ran = !inside_the_work; }); });
    ASSERT_TRUE(later.Returns());
    main_thread.Serve();
    EXPECT_EQ(main_thread.posted, 1) << "refused without posting";
    EXPECT_EQ(ran, inside_the_work);
  }
}

// Moved from the main loops' own tests: a loop destroyed with the work still
// queued drops it, and its caller goes on.
TEST(HandOverBridgeTest, ALoopDestroyedWithTheWorkQueuedReleasesItsCaller) {
  auto loop = std::make_unique<service::EpollMainLoop>();
  std::atomic<int> posted = 0;
  service::HandOverBridge bridge([&posted, target = loop.get()](std::function<void()> work) {
    target->Post(std::move(work));
    ++posted;
  });
  std::atomic<bool> ran = false;
  Caller caller([&] { bridge.RunInMainThread([&] { ran = true; }); });
  ASSERT_TRUE(WaitUntil([&] { return posted == 1; }, kLimit));
  loop.reset();
  EXPECT_TRUE(caller.Returns());
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace orvik::testing

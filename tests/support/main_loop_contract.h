// What every main-loop backend must do, as one typed test suite: a backend's
// test file defines a fixture type with
//   service::MainLoop& loop();
//   std::pair<service::NativeSocket, service::NativeSocket> ConnectedPair();  // owned by the
//   fixture void Write(service::NativeSocket, char);  void Drain(service::NativeSocket);
// and instantiates the suite with INSTANTIATE_TYPED_TEST_SUITE_P.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "service/main_loop.h"
#include "support/run_bounded.h"

namespace orvik::testing {

using std::chrono::milliseconds;

template <typename Backend>
class MainLoopContract : public ::testing::Test {
 protected:
  Backend backend_;
  service::MainLoop& loop() { return backend_.loop(); }
};

TYPED_TEST_SUITE_P(MainLoopContract);

// Work posted from the main thread and from another thread runs in the main
// thread, in the order posted.
TYPED_TEST_P(MainLoopContract, PostedWorkRunsInOrderInTheMainThread) {
  service::MainLoop& loop = this->loop();
  const std::thread::id main_thread = std::this_thread::get_id();
  std::vector<int> order;
  loop.Post([&] { order.push_back(1); });
  loop.Post([&] { order.push_back(2); });
  std::thread worker([&] {
    loop.Post([&] {
      EXPECT_EQ(std::this_thread::get_id(), main_thread);
      order.push_back(3);
      loop.Quit();
    });
  });
  RunBounded(loop);
  worker.join();
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

// A one-shot timer runs once; a repeating one until stopped; a timer may
// destroy itself from its own work; a stopped timer never runs.
TYPED_TEST_P(MainLoopContract, TimersRunOnceRepeatAndStop) {
  service::MainLoop& loop = this->loop();
  int once = 0, repeats = 0, stopped = 0;
  auto single = loop.MakeTimer([&] { ++once; });
  single->StartOnce(milliseconds(5));
  auto never = loop.MakeTimer([&] { ++stopped; });
  never->StartOnce(milliseconds(5));
  never->Stop();
  EXPECT_FALSE(never->IsActive());
  std::unique_ptr<service::LoopTimer> repeating;
  repeating = loop.MakeTimer([&] {
    if (++repeats == 3) {
      repeating.reset();  // destroyed from inside its own work
      loop.Post([&] { loop.Quit(); });
    }
  });
  repeating->Start(milliseconds(10));
  EXPECT_TRUE(repeating->IsActive());
  RunBounded(loop);
  EXPECT_EQ(once, 1);
  EXPECT_FALSE(single->IsActive());
  EXPECT_EQ(repeats, 3);
  EXPECT_EQ(stopped, 0);
}

// A socket with bytes is reported readable; writable only while asked for;
// after the watch is destroyed nothing of it runs.
TYPED_TEST_P(MainLoopContract, SocketWatchReportsReadableAndWritable) {
  service::MainLoop& loop = this->loop();
  const auto [ours, peer] = this->backend_.ConnectedPair();
  int readable = 0, writable = 0;
  std::unique_ptr<service::SocketWatch> watch;
  watch = loop.WatchSocket(
      ours,
      [&] {
        ++readable;
        this->backend_.Drain(ours);
        watch->WatchWritable(true);
      },
      [&] {
        ++writable;
        watch.reset();  // destroyed from inside its own notification
        loop.Post([&] { loop.Quit(); });
      });
  auto write_later = loop.MakeTimer([&, peer = peer] { this->backend_.Write(peer, 'x'); });
  write_later->StartOnce(milliseconds(10));
  RunBounded(loop);
  EXPECT_EQ(readable, 1);
  EXPECT_EQ(writable, 1);
  // Bytes arriving after the watch is gone wake nobody.
  this->backend_.Write(peer, 'y');
  auto end = loop.MakeTimer([&] { loop.Quit(); });
  end->StartOnce(milliseconds(30));
  RunBounded(loop);
  EXPECT_EQ(readable, 1);
}

REGISTER_TYPED_TEST_SUITE_P(MainLoopContract, PostedWorkRunsInOrderInTheMainThread,
                            TimersRunOnceRepeatAndStop, SocketWatchReportsReadableAndWritable);

}  // namespace orvik::testing

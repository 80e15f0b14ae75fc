// The epoll backend of the main loop: the common contract, and what a
// callback may do to the other timers and watches of the same pass.
#include "service/posix/epoll_main_loop.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <thread>
#include <tuple>

#include "support/main_loop_contract.h"
#include "support/socket_pair_backend.h"

namespace orvik::testing {
namespace {

using std::chrono::milliseconds;

INSTANTIATE_TYPED_TEST_SUITE_P(Epoll, MainLoopContract, SocketPairBackend<service::EpollMainLoop>);

// Two timers due in one pass and two sockets readable in one pass: the first
// callback of each destroys the other, which then never runs.
TEST(EpollMainLoopTest, ACallbackDestroysWhatTheSamePassWouldRunNext) {
  service::EpollMainLoop loop;
  int first_timer = 0, second_timer = 0;
  std::unique_ptr<service::LoopTimer> timers[2];
  timers[0] = loop.MakeTimer([&] {
    ++first_timer;
    timers[1].reset();
  });
  timers[1] = loop.MakeTimer([&] { ++second_timer; });

  auto [a, a_peer] = MakeSocketPair();
  auto [b, b_peer] = MakeSocketPair();
  int first_watch = 0, second_watch = 0;
  std::unique_ptr<service::SocketWatch> watches[2];
  watches[0] = loop.WatchSocket(
      a.get(),
      [&] {
        ++first_watch;
        watches[1].reset();
        watches[0].reset();
        loop.Quit();
      },
      [] {});
  watches[1] = loop.WatchSocket(
      b.get(), [&] { ++second_watch; }, [] {});
  ASSERT_EQ(::write(a_peer.get(), "x", 1), 1);
  ASSERT_EQ(::write(b_peer.get(), "x", 1), 1);

  timers[0]->StartOnce(milliseconds(0));
  timers[1]->StartOnce(milliseconds(0));
  // Both due by the time the loop first looks, whatever the first wake-up.
  std::this_thread::sleep_for(milliseconds(2));
  RunBounded(loop);
  EXPECT_EQ(first_timer, 1);
  EXPECT_EQ(second_timer, 0);
  EXPECT_EQ(first_watch, 1);
  EXPECT_EQ(second_watch, 0);
}

// Only the newest watch of a descriptor number runs, and the older one, when
// destroyed afterwards, leaves the newer one's registration alone: whether
// the newer one watches the same socket or a new socket that got the number
// of one closed under its watch.
TEST(EpollMainLoopTest, TheNewestWatchOfADescriptorNumberIsTheOneThatRuns) {
  for (const bool reuse_closed_number : {false, true}) {
    SCOPED_TRACE(reuse_closed_number ? "closed, number reused" : "same socket");
    service::EpollMainLoop loop;
    auto [ours, peer] = MakeSocketPair();
    const int number = ours.get();
    int older = 0, newer = 0;
    auto first = loop.WatchSocket(
        number, [&] { ++older; }, [] {});
    if (reuse_closed_number) {
      ours.reset();
      std::tie(ours, peer) = MakeSocketPair();
      ASSERT_EQ(ours.get(), number) << "the new socket did not get the closed number";
    }
    auto second = loop.WatchSocket(
        number,
        [&] {
          ++newer;
          loop.Quit();
        },
        [] {});
    first.reset();
    ASSERT_EQ(::write(peer.get(), "x", 1), 1);
    RunBounded(loop);
    EXPECT_EQ(older, 0);
    EXPECT_EQ(newer, 1);
  }
}

}  // namespace
}  // namespace orvik::testing

// PosixThreadPriority on real threads: each level reaches exactly the one
// thread that asks, a thread without the right stays as it was, and the
// right held only as permitted is switched on. Raising needs CAP_SYS_NICE:
// without it the tests skip, saying so. Each case runs in a thread of its
// own, which ends with it.
#include "platform/posix_thread_priority.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/capability.h>
#include <sys/resource.h>
#include <unistd.h>

#include <future>
#include <memory>
#include <type_traits>

namespace orvik::platform {
namespace {

struct CapFree {
  void operator()(cap_t caps) const { cap_free(caps); }
};
using CapHandle = std::unique_ptr<std::remove_pointer_t<cap_t>, CapFree>;

bool HasNiceRight(cap_flag_t set) {
  const CapHandle caps(cap_get_proc());
  cap_flag_value_t value = CAP_CLEAR;
  return caps && cap_get_flag(caps.get(), CAP_SYS_NICE, set, &value) == 0 && value == CAP_SET;
}

// Takes CAP_SYS_NICE out of the calling thread's effective set only.
void DropEffectiveNiceRight() {
  const CapHandle caps(cap_get_proc());
  const cap_value_t nice[] = {CAP_SYS_NICE};
  ASSERT_TRUE(caps && cap_set_flag(caps.get(), CAP_EFFECTIVE, 1, nice, CAP_CLEAR) == 0 &&
              cap_set_proc(caps.get()) == 0);
}

// How the calling thread is scheduled: policy (flags removed), real-time
// priority and nice value.
struct Scheduling {
  int policy = -1;
  int priority = -1;
  int nice = 99;
  bool operator==(const Scheduling&) const = default;
};
Scheduling ThisThread() {
  Scheduling now;
  now.policy = ::sched_getscheduler(0) & ~SCHED_RESET_ON_FORK;
  sched_param param{};
  if (::sched_getparam(0, &param) == 0) now.priority = param.sched_priority;
  now.nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
  return now;
}

template <typename Work>
auto InNewThread(Work work) {
  return std::async(std::launch::async, work).get();
}

constexpr const char* kNeedsRight =
    "raising a thread needs CAP_SYS_NICE: run the test as root to check it";

TEST(PosixThreadPriorityTest, EachLevelReachesTheCallingThreadOnly) {
  if (!HasNiceRight(CAP_EFFECTIVE)) GTEST_SKIP() << kNeedsRight;
  const Scheduling main_before = ThisThread();
  PosixThreadPriority priority;
  const auto real_time = InNewThread([&] {
    const auto words = priority.RaiseToRealTime();
    EXPECT_EQ(::sched_getscheduler(0), SCHED_FIFO | SCHED_RESET_ON_FORK);
    return std::make_pair(words, ThisThread());
  });
  EXPECT_EQ(real_time.first, "real-time priority (SCHED_FIFO 5)");
  EXPECT_EQ(real_time.second.policy, SCHED_FIFO);
  EXPECT_EQ(real_time.second.priority, 5);

  const auto raised = InNewThread([&] {
    const auto words = priority.RaiseWithinNormal();
    return std::make_pair(words, ThisThread());
  });
  EXPECT_EQ(raised.first, "raised priority (nice -10)");
  EXPECT_EQ(raised.second, (Scheduling{SCHED_OTHER, 0, -10}));
  EXPECT_EQ(ThisThread(), main_before);
}

TEST(PosixThreadPriorityTest, AThreadAlreadyHigherKeepsItsLevel) {
  if (!HasNiceRight(CAP_EFFECTIVE)) GTEST_SKIP() << kNeedsRight;
  PosixThreadPriority priority;
  InNewThread([&] {
    sched_param high{};
    high.sched_priority = 20;
    ASSERT_EQ(::sched_setscheduler(0, SCHED_RR, &high), 0);
    EXPECT_EQ(priority.RaiseToRealTime(), "real-time priority (SCHED_RR 20)");
    EXPECT_EQ(ThisThread(), (Scheduling{SCHED_RR, 20, 0}));
  });
  InNewThread([&] {
    ASSERT_EQ(::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), -15), 0);
    EXPECT_EQ(priority.RaiseWithinNormal(), "raised priority (nice -15)");
    EXPECT_EQ(ThisThread().nice, -15);
  });
}

TEST(PosixThreadPriorityTest, WithoutTheRightTheThreadStaysAndWithItPermittedItIsSwitchedOn) {
  if (!HasNiceRight(CAP_EFFECTIVE)) GTEST_SKIP() << kNeedsRight;
  rlimit rtprio{};
  rlimit nice{};
  ASSERT_EQ(::getrlimit(RLIMIT_RTPRIO, &rtprio), 0);
  ASSERT_EQ(::getrlimit(RLIMIT_NICE, &nice), 0);
  if (rtprio.rlim_cur != 0 || nice.rlim_cur != 0) {
    GTEST_SKIP() << "RLIMIT_RTPRIO or RLIMIT_NICE grants raising without the capability";
  }
  PosixThreadPriority priority;
  InNewThread([&] {
    DropEffectiveNiceRight();
    const Scheduling before = ThisThread();
    EXPECT_EQ(priority.RaiseToRealTime(), std::nullopt);
    EXPECT_EQ(priority.RaiseWithinNormal(), std::nullopt);
    EXPECT_EQ(ThisThread(), before);

    priority.EnablePriorityRights();  // held as permitted: made effective
    EXPECT_TRUE(HasNiceRight(CAP_EFFECTIVE));
    EXPECT_EQ(priority.RaiseToRealTime(), "real-time priority (SCHED_FIFO 5)");
  });
}

}  // namespace
}  // namespace orvik::platform

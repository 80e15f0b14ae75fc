// PosixThreadPriority on real threads, each case in a thread of its own that
// ends with it. Raising needs CAP_SYS_NICE: without it the tests skip.
#include "platform/posix/posix_thread_priority.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/capability.h>
#include <sys/resource.h>
#include <unistd.h>

#include <future>
#include <memory>
#include <tuple>

namespace orvik::platform {
namespace {

constexpr const char* kNeedsRight = "raising a thread needs CAP_SYS_NICE: run as root to check it";

// Sets CAP_SYS_NICE in the calling thread's effective set, or clears it.
bool SetEffectiveNiceRight(cap_flag_value_t value) {
  const std::unique_ptr<_cap_struct, int (*)(void*)> caps(cap_get_proc(), cap_free);
  const cap_value_t nice[] = {CAP_SYS_NICE};
  return caps && cap_set_flag(caps.get(), CAP_EFFECTIVE, 1, nice, value) == 0 &&
         cap_set_proc(caps.get()) == 0;
}

// The calling thread's policy (with its flags), real-time priority and nice value.
std::tuple<int, int, int> Scheduling() {
  sched_param param{};
  ::sched_getparam(0, &param);
  return {::sched_getscheduler(0), param.sched_priority,
          ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()))};
}

template <typename Work>
void InNewThread(Work work) {
  std::async(std::launch::async, work).get();
}

TEST(PosixThreadPriorityTest, EachLevelReachesTheCallingThreadOnly) {
  if (!SetEffectiveNiceRight(CAP_SET)) GTEST_SKIP() << kNeedsRight;
  const auto main_before = Scheduling();
  PosixThreadPriority priority;
  InNewThread([&] {
    EXPECT_EQ(priority.RaiseToRealTime(), "real-time priority (SCHED_FIFO 5)");
    EXPECT_EQ(Scheduling(), std::make_tuple(SCHED_FIFO | SCHED_RESET_ON_FORK, 5, 0));
  });
  InNewThread([&] {
    EXPECT_EQ(priority.RaiseWithinNormal(), "raised priority (nice -10)");
    EXPECT_EQ(Scheduling(), std::make_tuple(SCHED_OTHER, 0, -10));
  });
  // A thread already higher keeps its level.
  InNewThread([&] {
    sched_param high{};
    high.sched_priority = 20;
    ASSERT_EQ(::sched_setscheduler(0, SCHED_RR, &high), 0);
    EXPECT_EQ(priority.RaiseToRealTime(), "real-time priority (SCHED_RR 20)");
    ASSERT_EQ(::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), -15), 0);
    EXPECT_EQ(priority.RaiseWithinNormal(), "raised priority (nice -15)");
    EXPECT_EQ(Scheduling(), std::make_tuple(SCHED_RR, 20, -15));
  });
  EXPECT_EQ(Scheduling(), main_before);
}

TEST(PosixThreadPriorityTest, WithoutTheRightTheThreadStaysAndAPermittedRightIsSwitchedOn) {
  if (!SetEffectiveNiceRight(CAP_SET)) GTEST_SKIP() << kNeedsRight;
  rlimit rtprio{};
  rlimit nice{};
  if (::getrlimit(RLIMIT_RTPRIO, &rtprio) != 0 || ::getrlimit(RLIMIT_NICE, &nice) != 0 ||
      rtprio.rlim_cur != 0 || nice.rlim_cur != 0) {
    GTEST_SKIP() << "RLIMIT_RTPRIO or RLIMIT_NICE lets a thread rise without the right";
  }
  PosixThreadPriority priority;
  InNewThread([&] {
    ASSERT_TRUE(SetEffectiveNiceRight(CAP_CLEAR));
    const auto before = Scheduling();
    EXPECT_EQ(priority.RaiseToRealTime(), std::nullopt);
    EXPECT_EQ(priority.RaiseWithinNormal(), std::nullopt);
    EXPECT_EQ(Scheduling(), before);
    priority.EnablePriorityRights();  // still permitted: made effective
    EXPECT_EQ(priority.RaiseToRealTime(), "real-time priority (SCHED_FIFO 5)");
  });
}

}  // namespace
}  // namespace orvik::platform

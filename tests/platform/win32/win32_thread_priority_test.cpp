// Win32ThreadPriority: the raised level is the calling thread's time-critical
// priority and touches no other thread; there is no real-time level. It runs
// under wine through scripts/test-windows.sh, which starts every wine
// process under setpriv --bounding-set -sys_time.
#include "platform/win32/win32_thread_priority.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <future>

namespace orvik::platform {
namespace {

TEST(Win32ThreadPriorityTest, RaisesTheCallingThreadToTimeCritical) {
  Win32ThreadPriority priority;
  priority.EnablePriorityRights();
  const int main_before = ::GetThreadPriority(::GetCurrentThread());
  const int raised = std::async(std::launch::async, [&] {
                       EXPECT_EQ(priority.RaiseToRealTime(), std::nullopt);
                       EXPECT_EQ(priority.RaiseWithinNormal(), "raised priority (time critical)");
                       return ::GetThreadPriority(::GetCurrentThread());
                     }).get();
  EXPECT_EQ(raised, THREAD_PRIORITY_TIME_CRITICAL);
  EXPECT_EQ(::GetThreadPriority(::GetCurrentThread()), main_before);
}

}  // namespace
}  // namespace orvik::platform

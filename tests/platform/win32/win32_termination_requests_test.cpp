// Win32TerminationRequests through its console handler, called as Windows
// calls it (in a thread of its own; wine cannot deliver console events to a
// program without a console reliably). It runs under wine through
// scripts/test-windows.sh, which starts every wine process under setpriv
// --bounding-set -sys_time, so nothing here can set this machine's clock.
#include "platform/win32/win32_termination_requests.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace orvik::platform {
namespace {

using std::chrono::milliseconds;

// Every event reaches the program as a request. Ctrl+C and Ctrl+Break
// return at once; the events after which Windows ends the process hold the
// handler until the program has ended in order.
TEST(Win32TerminationRequestsTest, RequestsEndAndWaitForTheOrderlyEndWhereWindowsKills) {
  struct Case {
    DWORD event;
    bool waits;
  };
  for (const Case& c :
       {Case{CTRL_C_EVENT, false}, Case{CTRL_BREAK_EVENT, false}, Case{CTRL_CLOSE_EVENT, true},
        Case{CTRL_LOGOFF_EVENT, true}, Case{CTRL_SHUTDOWN_EVENT, true}}) {
    SCOPED_TRACE(c.event);
    std::atomic<DWORD> requested{0xffff};
    std::promise<void> asked;
    // A long bound: a handler that waits must be released by Ended().
    Win32TerminationRequests requests(milliseconds(60'000));
    ASSERT_TRUE(requests.ok());
    requests.Listen([&](int event) {
      requested = static_cast<DWORD>(event);
      asked.set_value();
    });
    std::atomic<bool> ended{false};
    auto handler = std::async(std::launch::async, [&] {
      const BOOL handled = Win32TerminationRequests::HandleConsoleEvent(c.event);
      return std::pair(handled, ended.load());
    });
    asked.get_future().wait();
    EXPECT_EQ(requested.load(), c.event);
    if (c.waits) {
      EXPECT_NE(handler.wait_for(milliseconds(50)), std::future_status::ready);
      ended = true;
      requests.Ended();
    }
    const auto [handled, after_end] = handler.get();
    EXPECT_TRUE(handled);
    EXPECT_EQ(after_end, c.waits);
  }
}

// A program that never reports its end is not waited for beyond the bound,
// and one that ended before the event is not waited for at all.
TEST(Win32TerminationRequestsTest, CloseWaitIsBoundedAndSkippedAfterTheEnd) {
  {
    Win32TerminationRequests requests(milliseconds(20));
    requests.Listen([](int) {});
    EXPECT_TRUE(Win32TerminationRequests::HandleConsoleEvent(CTRL_CLOSE_EVENT));
  }
  Win32TerminationRequests requests(milliseconds(60'000));
  requests.Listen([](int) {});
  requests.Ended();
  EXPECT_TRUE(Win32TerminationRequests::HandleConsoleEvent(CTRL_CLOSE_EVENT));
}

// Without an active object, or before anyone listens, the system's default
// applies.
TEST(Win32TerminationRequestsTest, NoListenerLeavesTheEventToTheSystem) {
  {
    Win32TerminationRequests gone;
    gone.Listen([](int) {});
  }
  EXPECT_FALSE(Win32TerminationRequests::HandleConsoleEvent(CTRL_C_EVENT));
  Win32TerminationRequests not_listening;
  EXPECT_FALSE(Win32TerminationRequests::HandleConsoleEvent(CTRL_C_EVENT));
}

// Log-off and shut-down reach the program through its hidden top-level
// window, as Windows sends them: the session's end is never held up, the
// end becomes the request of the matching console event and is answered only
// once the program has ended; an end that was called off asks nothing.
TEST(Win32TerminationRequestsTest, TheSessionsEndIsRequestedThroughTheHiddenWindow) {
  struct Case {
    LPARAM how;
    DWORD event;
  };
  for (const Case& c : {Case{ENDSESSION_LOGOFF, CTRL_LOGOFF_EVENT}, Case{0, CTRL_SHUTDOWN_EVENT}}) {
    SCOPED_TRACE(c.event);
    Win32TerminationRequests requests(milliseconds(60'000));
    std::atomic<DWORD> requested{0xffff};
    std::atomic<int> count{0};
    requests.Listen([&](int event) {
      requested = static_cast<DWORD>(event);
      ++count;
    });
    const HWND window = requests.session_window();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(::GetParent(window), nullptr);
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_TRUE(::SendMessageW(window, WM_QUERYENDSESSION, 0, c.how));
    ::SendMessageW(window, WM_ENDSESSION, FALSE, c.how);
    EXPECT_EQ(count.load(), 0) << "a cancelled end asks nothing";

    std::atomic<bool> ended{false};
    auto answered = std::async(std::launch::async, [&] {
      ::SendMessageW(window, WM_ENDSESSION, TRUE, c.how);
      return ended.load();
    });
    EXPECT_NE(answered.wait_for(milliseconds(200)), std::future_status::ready);
    EXPECT_EQ(requested.load(), c.event);
    ended = true;
    requests.Ended();
    EXPECT_TRUE(answered.get()) << "answered before the program had ended";
  }
}

}  // namespace
}  // namespace orvik::platform

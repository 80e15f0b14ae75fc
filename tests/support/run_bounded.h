// RunBounded: runs a main loop in a test until its work quits it, bounded.
#pragma once

#include <gtest/gtest.h>

#include <chrono>

#include "service/main_loop.h"

namespace orvik::testing {

// Runs `loop` until Quit, or for at most `limit` (then fails the test).
inline void RunBounded(service::MainLoop& loop,
                       std::chrono::milliseconds limit = std::chrono::milliseconds(5000)) {
  bool timed_out = false;
  auto guard = loop.MakeTimer([&] {
    timed_out = true;
    loop.Quit();
  });
  guard->StartOnce(limit);
  loop.Run();
  EXPECT_FALSE(timed_out) << "the loop ran into its time limit";
}

}  // namespace orvik::testing

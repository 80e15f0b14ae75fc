#include "support/wait_until.h"

#include <thread>

namespace orvik::testing {

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
               std::chrono::milliseconds step) {
  const auto give_up = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= give_up) return done();
    std::this_thread::sleep_for(step);
  }
  return true;
}

}  // namespace orvik::testing

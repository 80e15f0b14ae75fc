// WaitUntil: the one way tests wait, for a condition and never for a time:
// it returns as soon as the condition holds, and gives up after a bound.
#pragma once

#include <chrono>
#include <functional>

namespace orvik::testing {

// Calls `done` every `step` until it returns true or `limit` has passed;
// returns its last answer.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
               std::chrono::milliseconds step = std::chrono::milliseconds(10));

}  // namespace orvik::testing

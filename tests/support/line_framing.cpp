#include "support/line_framing.h"

#include <algorithm>

namespace orvik::testing {

void FrameLine(core::MessageFramer& framer, std::string_view bytes,
               const std::function<void(std::span<const std::uint8_t>)>& on_message) {
  using Kind = core::FramerAction::Kind;
  std::size_t at = 0;
  // Every step takes a byte from the line or ends a carried message.
  const std::size_t max_steps = 4 * (bytes.size() + 2);
  for (std::size_t step = 0; step < max_steps; ++step) {
    bool starved = false;
    core::FramerAction action = framer.Begin();
    while (action.kind == Kind::kRead) {
      const std::size_t n = std::min(action.read_into.size(), bytes.size() - at);
      std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), n, action.read_into.begin());
      at += n;
      const bool complete = n == action.read_into.size();
      starved = starved || !complete;
      action = framer.OnRead({n, complete ? core::ReadEnd::kComplete : core::ReadEnd::kTimedOut});
    }
    if (action.kind == Kind::kDecode) on_message(action.message);
    if (action.kind == Kind::kPurge || action.kind == Kind::kPauseThenPurge) at = bytes.size();
    if (starved) return;
  }
}

}  // namespace orvik::testing

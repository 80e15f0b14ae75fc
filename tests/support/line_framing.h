// FrameLine: runs a core framer over bytes in memory as the receive loop
// runs it over a serial line that holds them, with no thread and no link:
// reads take the bytes in order, a read that finds too few ends timed out
// with what there was, a purge drops what is left and hands the framer its
// last bytes (AfterPurge), as the loop does. It returns after the
// first step whose read found the line empty, so a framer fed one message at
// a time handles each one before the next, as a receiver's messages arrive.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/message_framer.h"

namespace orvik::testing {

// Hands every message framed from `bytes` to `on_message(span)`.
template <typename OnMessage>
void FrameLine(core::MessageFramer& framer, std::string_view bytes, OnMessage on_message) {
  using Kind = core::FramerAction::Kind;
  std::size_t at = 0;
  // Every step takes a byte from the line or ends a carried message.
  for (std::size_t step = 0; step < 4 * (bytes.size() + 2); ++step) {
    bool starved = false;
    core::FramerAction action = framer.Begin();
    while (action.kind == Kind::kRead) {
      const std::size_t n = std::min(action.read_into.size(), bytes.size() - at);
      std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), n, action.read_into.begin());
      at += n;
      starved = starved || n < action.read_into.size();
      action = framer.OnRead(
          {n, n < action.read_into.size() ? core::ReadEnd::kTimedOut : core::ReadEnd::kComplete});
    }
    if (action.kind == Kind::kDecode) on_message(action.message);
    if (action.kind == Kind::kPurge || action.kind == Kind::kPauseThenPurge) {
      const std::size_t tail = std::min(bytes.size() - at, core::MessageFramer::kMaxCarried);
      const std::string_view discarded = bytes.substr(bytes.size() - tail);
      framer.AfterPurge(std::span(reinterpret_cast<const std::uint8_t*>(discarded.data()), tail));
      at = bytes.size();
    }
    if (starved) return;
  }
}

}  // namespace orvik::testing

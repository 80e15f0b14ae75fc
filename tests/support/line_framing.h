// FrameLine: runs a core framer over bytes in memory as the receive loop
// runs it over a serial line that holds them, with no thread and no link:
// reads take the bytes in order, a read that finds too few ends timed out
// with what there was, a purge drops what is left. It returns after the
// first step whose read found the line empty, so a framer fed one message at
// a time handles each one before the next, as a receiver's messages arrive.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "core/message_framer.h"

namespace orvik::testing {

// Hands every message framed from `bytes` to `on_message`.
void FrameLine(core::MessageFramer& framer, std::string_view bytes,
               const std::function<void(std::span<const std::uint8_t>)>& on_message);

}  // namespace orvik::testing

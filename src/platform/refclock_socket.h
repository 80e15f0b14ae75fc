// RefclockSocket: the path on which time samples reach a local time daemon's
// reference-clock socket (chronyd's SOCK refclock). One datagram per sample;
// nothing comes back.
// Threads: one thread at a time (the acquisition thread).
#pragma once

#include <cstdint>
#include <span>

#include "core/status.h"

namespace orvik::platform {

class RefclockSocket {
 public:
  virtual ~RefclockSocket() = default;

  // Sends `bytes` as one datagram without ever blocking. Returns ok when the
  // whole datagram was handed to the receiving socket, else kSocketError with
  // a plain reason ("no such socket", "nothing listens on it", ...).
  virtual core::Status Send(std::span<const std::uint8_t> bytes) = 0;
};

}  // namespace orvik::platform

// SerialLink: the acquisition thread's path to the receiver.
//
// Blocking operations whose every wait is bounded by the port's time-outs.
// Threads: only the acquisition thread calls the operations, except
// ClosePort(), which any thread may call at any time; it makes a wait in
// progress end at once in failure and every later operation fail at once.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "core/burst_tracker.h"
#include "core/port_open_problem.h"
#include "core/port_settings.h"

namespace orvik::platform {

struct PortConfig {
  std::string device_path;  // e.g. "./COM2" or "/dev/ttyS1"
  std::uint32_t baud = 4800;
  core::SerialTimeouts timeouts;
};

// Outcome of a read: success means every requested byte arrived.
struct ReadOutcome {
  bool ok = false;
  std::size_t count = 0;  // bytes stored, also on failure

  friend bool operator==(const ReadOutcome&, const ReadOutcome&) = default;
};

// What OpenPort() made of the port: open, or why it is not.
struct PortOpenResult {
  std::optional<core::PortOpenFailure> failure;  // none: the port is open

  static PortOpenResult Opened() { return {}; }
  static PortOpenResult Failed(core::PortFault fault, std::string system_text = {}) {
    return {core::PortOpenFailure{fault, std::move(system_text)}};
  }
  bool ok() const { return !failure.has_value(); }

  friend bool operator==(const PortOpenResult&, const PortOpenResult&) = default;
};

enum class PurgeKind {
  kClearQueues,    // discard both queues
  kAbortAndClear,  // abort pending transfers, then discard both queues
};

class SerialLink {
 public:
  virtual ~SerialLink() = default;

  // Opens and configures the port: raw 8N1 at config.baud, RTS low, the
  // given time-outs, low latency where the driver offers it. Returns why the
  // port could not be opened, sorted from the system's error; IsOpen() tells
  // the same afterwards. A link that was closed with ClosePort() stays closed
  // (a failure of kind kOther).
  virtual PortOpenResult OpenPort(const PortConfig& config) = 0;

  // True while a usable port is open (false after a failed open, a hang-up
  // or ClosePort()).
  virtual bool IsOpen() const = 0;

  // Reads exactly buffer.size() bytes, bounded by the time-outs. Returns the
  // count stored into buffer and ok = (count == buffer.size()).
  virtual ReadOutcome ReadExact(std::span<std::uint8_t> buffer) = 0;

  // Reads one byte into `byte`; ok when it arrived.
  virtual ReadOutcome ReadOne(std::uint8_t& byte) = 0;

  // Writes the bytes, bounded by the write time-outs. The result is not reported.
  virtual void WritePort(std::span<const std::uint8_t> bytes) = 0;

  // Discards what the queues hold (and input the link itself holds). The
  // last input bytes discarded, at most tail.size() of them, are copied to
  // the front of `tail` in line order; returns how many. The framer keeps
  // from them whatever may start a message (core/message_framer.h).
  virtual std::size_t Purge(PurgeKind kind, std::span<std::uint8_t> tail) = 0;

  // Clears a break state and line errors, then purges both queues.
  virtual void ClearPortErrors() = 0;

  // Never blocks: when a break was seen on the line since the last poll,
  // runs ClearPortErrors().
  virtual void PollPortEvents() = 0;

  // How the byte most recently read reached the program: the start of its
  // burst on the monotonic clock (see core/burst_tracker.h) and when it was
  // read from the line. A link that cannot tell reports no burst start, and
  // then no message it delivers sets the clock.
  virtual core::ByteTiming LastByteTiming() const { return {}; }

  // Pauses the calling thread; returns early once ClosePort() has been called.
  virtual void IdleWait(std::chrono::milliseconds duration) = 0;

  // Waits, handing nothing out, until the line has input, NudgeInputWait()
  // or ClosePort() is called, or `limit` passes. Lets the receive loop sleep
  // through a silent line instead of starting read after read that can only
  // time out. A link that cannot wait so returns at once.
  virtual void AwaitInput(std::chrono::milliseconds limit) { (void)limit; }

  // Any thread: ends an AwaitInput() in progress, or makes the next one
  // return at once.
  virtual void NudgeInputWait() {}

  // Any thread, any time, any number of times: ends a wait in progress in
  // failure, releases the port and makes every later call fail at once.
  virtual void ClosePort() = 0;
};

}  // namespace orvik::platform

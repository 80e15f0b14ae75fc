// MessageDecoders: what the receive loop does with each framed message.
// Called in the acquisition thread only, once per framed message; the
// decoders keep whatever state they gather from one message to the next.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <stop_token>
#include <string>

#include "core/burst_tracker.h"
#include "core/settings.h"
#include "core/utc_time.h"
#include "service/event_log_writer.h"
#include "service/main_thread_bridge.h"
#include "service/shared_state.h"

namespace orvik::service {

// The GMT offset a Motorola receiver was last commanded, and when the
// command left (monotonic clock).
struct ReceiverOffset {
  std::int64_t minutes = 0;
  core::MonotonicNanos written_at = 0;
};

// What the decoders know of a message besides its bytes: the acquisition it
// came from and how it was read. Valid for the call only.
struct MessageContext {
  // The settings the acquisition thread runs with.
  const core::Settings& settings;
  SharedState& shared;
  MainThreadBridge& bridge;
  EventLogWriter& log;
  // Requested once the acquisition thread is asked to stop.
  std::stop_token stop;
  // How the message's last byte reached the program.
  core::ByteTiming timing;
  // The GMT offset command the acquisition thread last wrote, if any.
  std::optional<ReceiverOffset> receiver_offset;

  // Writes a log line through the main thread, unless a stop was requested.
  void LogThroughMainThread(const std::string& line) const {
    bridge.RunInMainThread([this, &line] {
      if (!stop.stop_requested()) log.WriteLog(line);
    });
  }
};

class MessageDecoders {
 public:
  virtual ~MessageDecoders() = default;

  // A new acquisition thread begins: what was gathered about the receiver
  // from the messages of an earlier one (its satellites) is forgotten.
  virtual void StartAcquisition() {}

  // An NMEA sentence from its five address characters (such as "GPRMC")
  // through "*", the checksum, CR and LF, without the "$".
  virtual void DecodeNmea(std::span<const std::uint8_t> sentence,
                          const MessageContext& context) = 0;

  // A whole Motorola "@@Ea" (76 bytes) or "@@Hb" (54 bytes) message.
  virtual void DecodeMotorola(std::span<const std::uint8_t> message,
                              const MessageContext& context) = 0;
};

}  // namespace orvik::service

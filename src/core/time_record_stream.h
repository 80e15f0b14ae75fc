// RecordStream: cuts the byte stream of a time server into whole 39-byte time
// records (the LAN client tool, the desktop program beside the service). Every record ends with the
// mark 251 252 253. A stream that starts on a record boundary yields its first record; one that
// starts inside a record (or loses its place) skips bytes up to the next end mark and goes on from
// there. Also the status texts of a record.
//
// Plain object fed with bytes; no I/O. One thread at a time.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/nmea_decoder.h"
#include "core/time_message.h"

namespace orvik::core {

class RecordStream {
 public:
  // Feeds received bytes; returns the records they complete, in order.
  std::vector<TimeMessage> Push(std::span<const std::uint8_t> bytes);

  // Bytes thrown away while looking for a record boundary.
  std::uint64_t skipped_bytes() const { return skipped_bytes_; }
  // Whether the stream knows where the next record starts.
  bool synchronised() const { return synchronised_; }

 private:
  // Adds one byte; returns true when it completes a record in pending_.
  bool PushByte(std::uint8_t byte);
  bool EndsWithMark() const;
  void DropFront(std::size_t count);

  std::array<std::uint8_t, kTimeMessageSize> pending_{};
  std::size_t size_ = 0;
  bool synchronised_ = false;
  std::uint64_t skipped_bytes_ = 0;
};

// The status texts of `record`, as the program that sent it shows them:
// "h:m:s" (framed by "?" while no satellite is tracked, the record's sign of
// a fix that is not valid), "d.m.yyyy" and "tracked / visible"; NoSatFlag
// while no satellite is tracked.
DisplayUpdate RecordDisplay(const TimeMessage& record);

}  // namespace orvik::core

// RecordOutbox: the part of a time record still owed to one client. A client
// never receives part of a record: what the socket did not take of a record
// is kept here (at most one record's rest, no allocation) and goes out before
// anything else; while it waits, newer records are dropped whole for that
// client.
//
// `send` is any callable taking std::span<const std::uint8_t> and returning
// platform::SendResult (the socket's SendSome, or a fake in tests).
// Plain data, no I/O of its own. Main thread only.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "core/time_message.h"
#include "platform/stream_sockets.h"

namespace orvik::service {

class RecordOutbox {
 public:
  enum class Offered {
    kHanded,    // taken whole by the socket
    kHeldBack,  // taken in part; the rest waits here
    kDropped,   // not sent at all: a rest was waiting, or the socket was full
    kFailed,    // the connection is broken
  };
  enum class Flushed {
    kEmpty,    // nothing (more) waits
    kWaiting,  // some of the rest still waits for the socket
    kFailed,   // the connection is broken
  };

  // Offers `record` to the client through `send` under the rules above.
  template <typename Send>
  Offered Offer(const core::TimeMessage& record, Send&& send) {
    if (rest_size_ > 0) return Offered::kDropped;
    const platform::SendResult result = send(std::span<const std::uint8_t>(record));
    if (result.status == platform::SendStatus::kFailed) return Offered::kFailed;
    if (result.status == platform::SendStatus::kWouldBlock || result.bytes == 0) {
      return Offered::kDropped;
    }
    if (result.bytes >= record.size()) return Offered::kHanded;
    rest_size_ = record.size() - result.bytes;
    std::copy(record.begin() + static_cast<std::ptrdiff_t>(result.bytes), record.end(),
              rest_.begin());
    return Offered::kHeldBack;
  }

  // Sends what it can of the waiting rest through `send`.
  template <typename Send>
  Flushed Flush(Send&& send) {
    if (rest_size_ == 0) return Flushed::kEmpty;
    const platform::SendResult result =
        send(std::span<const std::uint8_t>(rest_.data(), rest_size_));
    if (result.status == platform::SendStatus::kFailed) return Flushed::kFailed;
    if (result.status == platform::SendStatus::kSent) {
      const std::size_t taken = std::min(result.bytes, rest_size_);
      std::copy(rest_.begin() + static_cast<std::ptrdiff_t>(taken),
                rest_.begin() + static_cast<std::ptrdiff_t>(rest_size_), rest_.begin());
      rest_size_ -= taken;
    }
    return rest_size_ == 0 ? Flushed::kEmpty : Flushed::kWaiting;
  }

  // Whether part of a record still waits.
  bool HasRest() const { return rest_size_ > 0; }

 private:
  std::array<std::uint8_t, core::kTimeMessageSize> rest_{};
  std::size_t rest_size_ = 0;
};

}  // namespace orvik::service

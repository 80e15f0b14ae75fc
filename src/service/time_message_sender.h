// TimeMessageSender: where a completed time record goes. The time server
// implements it; the acquisition thread reaches it only through the
// main-thread hand-over, and waits until every client's send was attempted.
#pragma once

#include "core/time_message.h"

namespace orvik::service {

class TimeMessageSender {
 public:
  virtual ~TimeMessageSender() = default;

  // Main thread: sends `message` to the connected clients. Never blocks.
  virtual void Retransmit_to_LAN(const core::TimeMessage& message) = 0;
};

}  // namespace orvik::service

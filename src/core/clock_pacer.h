// ClockPacer: how often the PC clock is set from the receiver. It counts the
// accepted time messages (MessageCounter) and decides, with the clock
// decision of core/clock_update.h, whether the message at hand sets the
// clock. One pacer serves the program's whole run: the count survives
// restarts of the acquisition, so the first message after the program's start
// sets the clock and then every (ClockUpdateInterval + 1)-th.
// Pure; used by one thread at a time.
#pragma once

#include <cstdint>

#include "core/clock_update.h"
#include "core/date_time.h"
#include "core/settings.h"

namespace orvik::core {

class ClockPacer {
 public:
  // One accepted time message.
  void Count() { StepMessageCounter(MessageCounter_); }
  // Whether a time message of `message_local` sets the clock now, and to
  // what (UpdatePcClock on the pacer's count).
  ClockDecision Decide(const Settings& settings, const DateTime& message_local,
                       const DateTime& pc_now) {
    return UpdatePcClock(MessageCounter_, settings, message_local, pc_now);
  }
  std::uint32_t MessageCounter() const { return MessageCounter_; }

 private:
  std::uint32_t MessageCounter_ = kInitialMessageCounter;
};

}  // namespace orvik::core

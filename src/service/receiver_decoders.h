// ReceiverDecoders: the decoders the acquisition thread runs for every
// framed message. They decode (rules in core), then, in this order, hand the
// time record to the LAN through the main thread, set the PC clock when the
// decision says so (logging the setting on the NMEA path when logging is
// on), and publish the status texts and flags.
//
// One object serves the program's whole run, so the message counter that
// paces the clock settings survives restarts of the acquisition. Used by one
// acquisition thread at a time.
#pragma once

#include <cstdint>

#include "core/clock_update.h"
#include "core/nmea_decoder.h"
#include "platform/system_clock.h"
#include "service/message_decoders.h"
#include "service/time_message_sender.h"

namespace orvik::service {

class ReceiverDecoders : public MessageDecoders {
 public:
  // REQUIRES: `clock` and `sender` outlive this object.
  ReceiverDecoders(platform::SystemClock& clock, TimeMessageSender& sender)
      : clock_(clock), sender_(sender) {}

  void DecodeNmea(comm_GPS_acq& thread, std::size_t body_length) override;
  void DecodeMotorola(comm_GPS_acq& thread) override;

  // Accepted time messages since the clock was last set or considered.
  std::uint32_t MessageCounter() const { return MessageCounter_; }

 private:
  void Apply(comm_GPS_acq& thread, const core::NmeaOutcome& outcome, bool log_clock_setting);

  platform::SystemClock& clock_;
  TimeMessageSender& sender_;
  std::uint32_t MessageCounter_ = core::kInitialMessageCounter;
};

}  // namespace orvik::service

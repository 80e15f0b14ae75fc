// ReceiverDecoders: the decoders the acquisition thread runs for every
// framed message. They decode (rules in core), then, in this order, hand the
// time record to the LAN through the main thread, set the PC clock when the
// clock decision says so, and publish the status texts and flags.
//
// Setting the clock: a message offered by the decoder sets it only when it
// is fresh (core/message_freshness.h: its second is tied to the monotonic
// clock through the start of its burst on the line), and, from a Motorola
// receiver, only once the receiver has surely applied the GMT offset the
// program commanded (a message whose burst began at least
// kOffsetSettleNanos after the command was written). The clock becomes the
// message's UTC plus the time elapsed since its second began, to the
// nanosecond, and never an instant outside the span from the build date to
// twenty years after it. A setting is logged (NMEA path, logging on) as
// "Set PC time to ..."; a failure as "Could not set PC time to <date>
// <time>: <reason>" (both paths), once, then again when the reason changes
// or an hour has passed, and the shared clock-keeping state tells the
// operator while the clock is not being kept.
//
// With a chrony feed in use (a socket path in the settings), a fresh message
// is handed to chrony instead, as the instant its burst began and the
// message's UTC; the receiver delay is then chrony's to apply.
//
// One object serves the program's whole run, so the message counter that
// paces the clock settings survives restarts of the acquisition. Used by one
// acquisition thread at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/clock_update.h"
#include "core/message_freshness.h"
#include "core/nmea_decoder.h"
#include "core/satellite_tracker.h"
#include "core/utc_time.h"
#include "platform/monotonic_clock.h"
#include "platform/system_clock.h"
#include "service/chrony_feed.h"
#include "service/message_decoders.h"
#include "service/time_message_sender.h"

namespace orvik::service {

// A Motorola receiver's messages may carry the old offset until this long
// after a GMT offset command was written.
inline constexpr std::int64_t kOffsetSettleNanos = 2 * core::kNanosPerSecond;

class ReceiverDecoders : public MessageDecoders {
 public:
  // REQUIRES: `clock` and `sender` outlive this object.
  // REQUIRES: `monotonic` is the clock the serial links stamp arrivals with.
  ReceiverDecoders(platform::SystemClock& clock, const platform::MonotonicClock& monotonic,
                   TimeMessageSender& sender,
                   core::SettableSpan settable = core::SettableSpanOfThisBuild())
      : clock_(clock), monotonic_(monotonic), sender_(sender), settable_(settable) {}

  void StartAcquisition() override { satellites_ = {}; }
  void DecodeNmea(std::span<const std::uint8_t> sentence, const MessageContext& context) override;
  void DecodeMotorola(std::span<const std::uint8_t> message,
                      const MessageContext& context) override;

  // The feed that takes the clock over from the decoders, or null. Set only
  // while no acquisition thread runs; it must outlive its use.
  void UseChronyFeed(ChronyFeed* feed) { chrony_feed_ = feed; }

  // Accepted time messages since the clock was last set or considered.
  std::uint32_t MessageCounter() const { return MessageCounter_; }

 private:
  void Apply(const MessageContext& context, const core::NmeaOutcome& outcome);
  void ConsiderClock(const MessageContext& context, const core::ClockCandidate& candidate);
  // Sets the clock to `target`, logs and tells the outcome.
  void SetClock(const MessageContext& context, const core::ClockCandidate& candidate,
                core::UtcNanos target);
  void ReportFailure(const MessageContext& context, const core::ClockCandidate& candidate,
                     core::UtcNanos target, const std::string& reason);

  platform::SystemClock& clock_;
  const platform::MonotonicClock& monotonic_;
  TimeMessageSender& sender_;
  const core::SettableSpan settable_;
  std::uint32_t MessageCounter_ = core::kInitialMessageCounter;
  core::FreshnessCheck freshness_;
  std::optional<core::UtcNanos> last_rmc_utc_;
  // The satellite counts gathered from GSV sentences; new with every acquisition thread.
  core::SatelliteTracker satellites_;
  ChronyFeed* chrony_feed_ = nullptr;  // not owned
  // The failure last logged, and when (monotonic), for the hourly reminder.
  std::string logged_failure_;
  core::MonotonicNanos logged_failure_at_ = 0;
};

}  // namespace orvik::service

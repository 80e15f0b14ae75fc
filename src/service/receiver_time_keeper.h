// ReceiverTimeKeeper: what the acquisition thread does with every framed
// message. The protocol's decoder (core/nmea_decoder.h,
// core/motorola_decoder.h) decodes it; the keeper then, in this order, sends
// the time record to the LAN through the main thread, has the clock pacer
// (core/clock_pacer.h) decide and sets the PC clock (or hands the time to
// chrony), logs, and publishes the status texts and flags.
//
// Timing a time message: it is fresh when the start of its burst was seen
// live and it is the first time message of that burst
// (core/message_freshness.h). Fresh messages teach the receiver's timeline
// (core/receiver_timeline.h): where its seconds begin, with the receiver's
// jitter filtered out, and whether its time jumped. A message that is not
// fresh is sent and shown, but never sets the clock; one that lags the
// timeline by more than a second (read out of a backlog) is the past and is
// neither sent, shown nor used: the operator is told how many were dropped
// once the line is current again. A line whose output never pauses cannot be
// timed at all: after 5 s of it the operator is told so, once.
//
// Setting the clock: a message sets it only when the timeline uses it, and,
// from a Motorola receiver, only once the receiver has answered the GMT
// offset command with the offset commanded (it answers an input command with
// the message of the same name): only a message of a later burst than the
// answer counts, since before it the receiver may still report the old
// offset. Without that answer within kOffsetAnswerNanos the operator is told
// (kUnconfirmedOffsetProblem), once per command. The clock becomes the
// message's UTC plus the time elapsed since its second began, to the
// nanosecond, and never an instant outside the span from the build date to
// twenty years after it. A setting is logged (NMEA path, logging on) as
// "Set PC time to ..."; a failure as "Could not set PC time to <date>
// <time>: <reason>" (both paths), once, then again when the reason changes
// or an hour has passed, and the shared clock-keeping state tells the
// operator while the clock is not being kept. A receiver date whole GPS week
// eras behind is corrected, and that is logged once.
//
// With a chrony feed in use (a socket path in the settings), a message that
// would set the clock is handed to chrony instead, as the instant its burst
// began (by the timeline's estimate) and the message's UTC; the receiver
// delay is then chrony's to apply.
//
// One object serves the program's whole run, so the message counter that
// paces the clock settings survives restarts of the acquisition; what it
// learned of the line and the receiver is learned anew with each one. Used
// by one acquisition thread at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/clock_pacer.h"
#include "core/clock_update.h"
#include "core/message_freshness.h"
#include "core/motorola_decoder.h"
#include "core/nmea_decoder.h"
#include "core/receiver_timeline.h"
#include "core/satellite_tracker.h"
#include "core/utc_time.h"
#include "platform/monotonic_clock.h"
#include "platform/system_clock.h"
#include "service/chrony_feed.h"
#include "service/message_decoders.h"
#include "service/time_message_sender.h"

namespace orvik::service {

// How long a Motorola receiver has to answer a GMT offset command.
inline constexpr std::int64_t kOffsetAnswerNanos = 10 * core::kNanosPerSecond;
inline constexpr const char* kUnconfirmedOffsetProblem =
    "The receiver did not confirm the GMT offset: PC clock not set from it";
// A line that has not paused for this long while time messages came is told.
inline constexpr std::int64_t kUnbrokenLineNanos = 5 * core::kNanosPerSecond;
inline constexpr const char* kNeverPausesProblem =
    "PC clock not set: the receiver's output never pauses, so its timing cannot be measured "
    "(fewer sentences or a higher line rate help)";

class ReceiverTimeKeeper : public MessageDecoders {
 public:
  // REQUIRES: `clock` and `sender` outlive this object.
  // REQUIRES: `monotonic` is the clock the serial links stamp arrivals with.
  ReceiverTimeKeeper(platform::SystemClock& clock, const platform::MonotonicClock& monotonic,
                     TimeMessageSender& sender,
                     core::SettableSpan settable = core::SettableSpanOfThisBuild())
      : clock_(clock), monotonic_(monotonic), sender_(sender), settable_(settable) {}

  void StartAcquisition() override;
  void DecodeNmea(std::span<const std::uint8_t> sentence, const MessageContext& context) override;
  void DecodeMotorola(std::span<const std::uint8_t> message,
                      const MessageContext& context) override;

  // The feed that takes the clock over from the decoders, or null. Set only
  // while no acquisition thread runs; it must outlive its use.
  void UseChronyFeed(ChronyFeed* feed) { chrony_feed_ = feed; }

  // Accepted time messages since the clock was last set or considered.
  std::uint32_t MessageCounter() const { return pacer_.MessageCounter(); }

 private:
  void Apply(const MessageContext& context, const core::DecodedMessage& outcome);
  // A Motorola receiver's answer to a GMT offset command.
  void OnOffsetAnswer(std::span<const std::uint8_t> message, const MessageContext& context);
  // The offset a Motorola message may be read with: the commanded one, once
  // confirmed by an answer of an earlier burst; tells once when none came.
  std::optional<std::int64_t> ConfirmedOffset(const MessageContext& context);
  // How a time message is timed; nullopt when it is the past and must be dropped.
  std::optional<core::ReceiverTimeline::Verdict> TimeMessage(const MessageContext& context,
                                                             const core::DecodedMessage& outcome);
  // Tells once that the line has not paused for kUnbrokenLineNanos.
  void WatchForUnbrokenLine(const MessageContext& context);
  // Tells how many messages were dropped, once a message is current again.
  void TellDropped(const MessageContext& context);
  void ConsiderClock(const MessageContext& context, const core::ClockCandidate& candidate,
                     const core::ReceiverTimeline::Verdict& timing);
  // The line for the log (when logging is on) and the status.
  void Tell(const MessageContext& context, const std::string& line);
  // Sets the clock to `target`, logs and tells the outcome.
  void SetClock(const MessageContext& context, const core::ClockCandidate& candidate,
                core::UtcNanos target);
  void ReportFailure(const MessageContext& context, const core::ClockCandidate& candidate,
                     core::UtcNanos target, const std::string& reason);

  platform::SystemClock& clock_;
  const platform::MonotonicClock& monotonic_;
  TimeMessageSender& sender_;
  const core::SettableSpan settable_;
  core::ClockPacer pacer_;
  core::NmeaDecoder nmea_;
  core::MotorolaDecoder motorola_;
  // What is learned of the line and the receiver: anew with every acquisition.
  core::FreshnessCheck freshness_;
  core::ReceiverTimeline timeline_;
  bool told_unbroken_line_ = false;
  bool told_rollover_ = false;
  // The GMT offset command (by the time it was written) the receiver
  // confirmed, and the burst of its answer; the command already told unconfirmed.
  struct OffsetAnswer {
    core::MonotonicNanos command_written_at;
    std::uint64_t burst;
  };
  std::optional<OffsetAnswer> offset_answer_;
  std::optional<core::MonotonicNanos> told_unconfirmed_;
  // Messages dropped as the past since the last one sent.
  std::uint64_t dropped_ = 0;
  ChronyFeed* chrony_feed_ = nullptr;  // not owned
  // The failure last logged, and when (monotonic), for the hourly reminder.
  std::string logged_failure_;
  core::MonotonicNanos logged_failure_at_ = 0;
};

}  // namespace orvik::service

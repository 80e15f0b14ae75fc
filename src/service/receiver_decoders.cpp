#include "service/receiver_decoders.h"

#include <algorithm>

#include "core/clock_log_line.h"
#include "core/motorola_decoder.h"

namespace orvik::service {
namespace {

constexpr std::int64_t kFailureReminderNanos = 3600 * core::kNanosPerSecond;

std::int64_t FloorMod(std::int64_t a, std::int64_t b) { return ((a % b) + b) % b; }

}  // namespace

void ReceiverDecoders::DecodeNmea(std::span<const std::uint8_t> sentence,
                                  const MessageContext& context) {
  const core::NmeaOutcome outcome =
      core::DecodeNmea(MessageCounter_, satellites_, last_rmc_utc_, sentence, context.settings,
                       context.shared.SummerHours.load());
  Apply(context, outcome);
}

void ReceiverDecoders::DecodeMotorola(std::span<const std::uint8_t> message,
                                      const MessageContext& context) {
  const std::optional<ReceiverOffset>& offset = context.receiver_offset;
  const std::size_t header = std::min<std::size_t>(message.size(), 4);
  const core::NmeaOutcome outcome = core::DecodeMotorola(
      MessageCounter_, message.first(header), message.subspan(header),
      offset ? std::optional<std::int64_t>(offset->minutes) : std::nullopt);
  Apply(context, outcome);
}

void ReceiverDecoders::Apply(const MessageContext& context, const core::NmeaOutcome& outcome) {
  if (outcome.time_message) {
    const core::TimeMessage& record = *outcome.time_message;
    context.bridge.RunInMainThread([this, &record] { sender_.Retransmit_to_LAN(record); });
  }
  if (outcome.clock) ConsiderClock(context, *outcome.clock);
  if (outcome.display) {
    DisplayState& display = context.shared.display;
    display.SetTexts({outcome.display->TimeText, outcome.display->DateText,
                      outcome.display->SatText});
    if (outcome.display->accepted) {
      display.NoSatFlag = outcome.display->NoSatFlag;
      display.DataSeenFlag = true;
    }
    display.NewDisplayFlag = true;
  }
}

void ReceiverDecoders::ConsiderClock(const MessageContext& context, const core::ClockCandidate& candidate) {
  const core::Settings& settings = context.settings;
  const core::ByteTiming& timing = context.timing;
  const std::optional<core::MonotonicNanos> reference = freshness_.Check(
      candidate.message_utc, timing,
      static_cast<std::int64_t>(settings.ReceiverDelayMs) * core::kNanosPerMilli);
  // Read from a backlog: shown and sent, but the clock and the count stay.
  if (!reference) return;
  if (candidate.path == core::ClockPath::kMotorola) {
    const std::optional<ReceiverOffset>& offset = context.receiver_offset;
    if (!offset || *timing.burst_start < offset->written_at + kOffsetSettleNanos) return;
  }
  if (chrony_feed_ != nullptr && chrony_feed_->Enabled()) {
    // The burst's start on the real-time clock, as the system has it now.
    const core::UtcNanos burst_start =
        clock_.NowUtc() - (monotonic_.NowMonotonic() - *timing.burst_start);
    chrony_feed_->OnFreshTime(burst_start, candidate.message_utc - burst_start);
    return;
  }

  const core::DateTime pc_now =
      core::DateTimeAt(clock_.NowUtc(), candidate.local_offset_minutes).value_or(core::DateTime{});
  const core::ClockDecision decision =
      core::UpdatePcClock(MessageCounter_, settings, candidate.message_local, pc_now);
  if (!decision.set_clock) return;
  // The instant the message names, or with OnlyMinSec the PC's date and hour
  // with the message's minute and second (moved from local time to UTC, the
  // message's fraction kept); then the time elapsed since that second began.
  core::UtcNanos second = candidate.message_utc;
  if (settings.OnlyMinSec) {
    const std::optional<core::UtcNanos> as_utc = core::UtcNanosOf(decision.SetTime);
    if (!as_utc) return;
    second = *as_utc - candidate.local_offset_minutes * core::kNanosPerMinute +
             FloorMod(candidate.message_utc, core::kNanosPerSecond);
  }
  SetClock(context, candidate, second + (monotonic_.NowMonotonic() - *reference));
}

void ReceiverDecoders::SetClock(const MessageContext& context, const core::ClockCandidate& candidate,
                                core::UtcNanos target) {
  if (!settable_.Contains(target)) {
    ReportFailure(context, candidate, target, "the date lies outside the years this program sets");
    return;
  }
  const core::UtcNanos before = clock_.NowUtc();
  if (const core::Status set = clock_.SetUtc(target); !set.ok()) {
    ReportFailure(context, candidate, target, set.message());
    return;
  }
  context.shared.clock_keeping.SetProblem("");
  logged_failure_.clear();
  if (candidate.path == core::ClockPath::kNmea && context.settings.LoggingEnabled) {
    const auto pc_before = core::DateTimeAt(before, candidate.local_offset_minutes);
    const auto set_local = core::DateTimeAt(target, candidate.local_offset_minutes);
    if (pc_before && set_local) {
      context.LogThroughMainThread(core::LogClockSet("Set PC time to", *pc_before, *set_local));
    }
  }
}

void ReceiverDecoders::ReportFailure(const MessageContext& context, const core::ClockCandidate& candidate,
                                     core::UtcNanos target, const std::string& reason) {
  context.shared.clock_keeping.SetProblem("PC clock not set: " + reason);
  const core::MonotonicNanos now = monotonic_.NowMonotonic();
  if (reason == logged_failure_ && now - logged_failure_at_ < kFailureReminderNanos) return;
  logged_failure_ = reason;
  logged_failure_at_ = now;
  if (!context.settings.LoggingEnabled) return;
  const core::DateTime local =
      core::DateTimeAt(target, candidate.local_offset_minutes).value_or(candidate.message_local);
  context.LogThroughMainThread("Could not set PC time to " + core::FormatShortDate(local) + " " +
                              core::FormatLongTime(local) + ": " + reason);
}

}  // namespace orvik::service

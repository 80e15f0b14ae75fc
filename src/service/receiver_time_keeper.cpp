#include "service/receiver_time_keeper.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "core/clock_log_line.h"
#include "core/motorola_decoder.h"
#include "core/receiver_commands.h"
#include "core/week_rollover.h"

namespace orvik::service {
namespace {

constexpr std::int64_t kFailureReminderNanos = 3600 * core::kNanosPerSecond;

std::int64_t FloorMod(std::int64_t a, std::int64_t b) { return ((a % b) + b) % b; }

// "+3600", "-1", "+0.25": a signed number of seconds, to the millisecond.
std::string SignedSeconds(std::int64_t nanos) {
  const std::int64_t millis =
      std::llabs(nanos + (nanos < 0 ? -1 : 1) * core::kNanosPerMilli / 2) / core::kNanosPerMilli;
  char text[48];
  std::snprintf(text, sizeof text, "%c%" PRId64 ".%03" PRId64, nanos < 0 ? '-' : '+', millis / 1000,
                millis % 1000);
  std::string seconds(text);
  seconds.erase(seconds.find_last_not_of('0') + 1);
  if (seconds.back() == '.') seconds.pop_back();
  return seconds;
}

}  // namespace

void ReceiverTimeKeeper::StartAcquisition() {
  nmea_.Restart();
  freshness_.Restart();
  timeline_.Reset();
  told_unbroken_line_ = false;
  told_rollover_ = false;
  offset_answer_.reset();
  told_unconfirmed_.reset();
  dropped_ = 0;
}

void ReceiverTimeKeeper::DecodeNmea(std::span<const std::uint8_t> sentence,
                                    const MessageContext& context) {
  const core::DecodedMessage outcome =
      nmea_.DecodeNmea(sentence, context.settings, context.shared.SummerHours.load(),
                       core::RolloverCheck{settable_, clock_.NowUtc()});
  Apply(context, outcome);
}

void ReceiverTimeKeeper::DecodeMotorola(std::span<const std::uint8_t> message,
                                        const MessageContext& context) {
  const std::size_t header = std::min<std::size_t>(message.size(), 4);
  if (core::IsOffsetAnswer(message.first(header))) {
    OnOffsetAnswer(message, context);
    return;
  }
  const core::DecodedMessage outcome = motorola_.DecodeMotorola(
      message.first(header), message.subspan(header), ConfirmedOffset(context),
      core::RolloverCheck{settable_, clock_.NowUtc()});
  Apply(context, outcome);
}

void ReceiverTimeKeeper::OnOffsetAnswer(std::span<const std::uint8_t> message,
                                        const MessageContext& context) {
  const std::optional<ReceiverOffset>& commanded = context.receiver_offset;
  const std::optional<std::int64_t> answered = core::GmtOffsetMinutesOfCommand(message);
  if (!commanded || answered != commanded->minutes) return;
  offset_answer_ = OffsetAnswer{commanded->written_at, context.timing.burst};
  if (context.shared.clock_keeping.Problem() == kUnconfirmedOffsetProblem) {
    context.shared.clock_keeping.SetProblem("");
  }
}

std::optional<std::int64_t> ReceiverTimeKeeper::ConfirmedOffset(const MessageContext& context) {
  const std::optional<ReceiverOffset>& commanded = context.receiver_offset;
  if (!commanded) return std::nullopt;
  if (offset_answer_ && offset_answer_->command_written_at == commanded->written_at) {
    if (context.timing.burst == offset_answer_->burst) return std::nullopt;
    return commanded->minutes;
  }
  if (context.timing.arrival - commanded->written_at > kOffsetAnswerNanos &&
      told_unconfirmed_ != commanded->written_at) {
    told_unconfirmed_ = commanded->written_at;
    Tell(context, kUnconfirmedOffsetProblem);
  }
  return std::nullopt;
}

void ReceiverTimeKeeper::Apply(const MessageContext& context, const core::DecodedMessage& outcome) {
  if (outcome.counted) pacer_.Count();
  if (outcome.rollover_eras > 0 && !told_rollover_) {
    told_rollover_ = true;
    if (context.settings.LoggingEnabled) {
      context.LogThroughMainThread("Receiver date corrected by " +
                                   std::to_string(outcome.rollover_eras * 1024) +
                                   " weeks (GPS week rollover)");
    }
  }
  core::ReceiverTimeline::Verdict timing;
  if (outcome.time_message) {
    const std::optional<core::ReceiverTimeline::Verdict> timed = TimeMessage(context, outcome);
    if (!timed) {
      ++dropped_;  // the past: neither sent, shown nor used
      return;
    }
    timing = *timed;
    if (dropped_ > 0) TellDropped(context);
    const core::TimeMessage& record = *outcome.time_message;
    context.bridge.RunInMainThread([this, &record] { sender_.Retransmit_to_LAN(record); });
  }
  if (outcome.clock) ConsiderClock(context, *outcome.clock, timing);
  if (outcome.display) context.shared.display.Show(*outcome.display);
}

std::optional<core::ReceiverTimeline::Verdict> ReceiverTimeKeeper::TimeMessage(
    const MessageContext& context, const core::DecodedMessage& outcome) {
  const core::ByteTiming& timing = context.timing;
  WatchForUnbrokenLine(context);
  const std::optional<core::MonotonicNanos> burst_start = freshness_.Check(timing);
  if (!outcome.message_utc) return core::ReceiverTimeline::Verdict{};
  const core::UtcNanos utc = *outcome.message_utc;
  if (!burst_start) {
    if (timeline_.Lags(utc, timing.arrival)) return std::nullopt;
    return core::ReceiverTimeline::Verdict{};
  }
  // Only a message that may set the clock teaches the timeline: the time of
  // a receiver without a fix can be anything.
  if (!outcome.clock) return core::ReceiverTimeline::Verdict{};
  const std::int64_t delay =
      static_cast<std::int64_t>(context.settings.ReceiverDelayMs) * core::kNanosPerMilli;
  const core::ReceiverTimeline::Verdict verdict =
      timeline_.OnFresh(utc, *burst_start - delay, timing.arrival);
  if (verdict.use && told_unbroken_line_) {
    // The line pauses again: what was said of it no longer holds.
    told_unbroken_line_ = false;
    if (context.shared.clock_keeping.Problem() == kNeverPausesProblem) {
      context.shared.clock_keeping.SetProblem("");
    }
  }
  if (verdict.jump_nanos && context.settings.LoggingEnabled) {
    context.LogThroughMainThread("Receiver time jumped by " + SignedSeconds(*verdict.jump_nanos) +
                                 " s; following it");
  }
  return verdict;
}

void ReceiverTimeKeeper::WatchForUnbrokenLine(const MessageContext& context) {
  const core::ByteTiming& timing = context.timing;
  if (told_unbroken_line_ || timing.arrival - timing.unbroken_since < kUnbrokenLineNanos) return;
  told_unbroken_line_ = true;
  Tell(context, kNeverPausesProblem);
}

void ReceiverTimeKeeper::TellDropped(const MessageContext& context) {
  const std::uint64_t count = std::exchange(dropped_, 0);
  Tell(context, "Dropped " + std::to_string(count) +
                    (count == 1 ? " time message" : " time messages") +
                    " read late from a backlog (more than a second old)");
}

void ReceiverTimeKeeper::Tell(const MessageContext& context, const std::string& line) {
  context.shared.clock_keeping.SetProblem(line);
  if (context.settings.LoggingEnabled) context.LogThroughMainThread(line);
}

void ReceiverTimeKeeper::ConsiderClock(const MessageContext& context,
                                       const core::ClockCandidate& candidate,
                                       const core::ReceiverTimeline::Verdict& timing) {
  const core::Settings& settings = context.settings;
  // Read from a backlog, not the first of its burst, or a jump not yet held:
  // shown and sent, but the clock and the count stay.
  if (!timing.use) return;
  if (chrony_feed_ != nullptr && chrony_feed_->Enabled()) {
    // Chrony is handed only what the program itself would set the clock from.
    if (!settable_.Contains(candidate.message_utc)) {
      ReportFailure(context, candidate, candidate.message_utc,
                    "the date lies outside the years this program sets");
      return;
    }
    // The burst's start by the timeline, on the real-time clock as the
    // system has it now; chrony adds the receiver delay itself.
    const core::MonotonicNanos burst_start =
        timing.second_began +
        static_cast<std::int64_t>(settings.ReceiverDelayMs) * core::kNanosPerMilli;
    const core::UtcNanos burst_start_utc =
        clock_.NowUtc() - (monotonic_.NowMonotonic() - burst_start);
    chrony_feed_->OnFreshTime(burst_start_utc, candidate.message_utc - burst_start_utc);
    return;
  }

  const core::DateTime pc_now =
      core::DateTimeAt(clock_.NowUtc(), candidate.local_offset_minutes).value_or(core::DateTime{});
  const core::ClockDecision decision = pacer_.Decide(settings, candidate.Local(), pc_now);
  if (!decision.set_clock) return;
  // The instant the message names, or with OnlyMinSec the PC's date and hour
  // with the message's minute and second (moved from local time to UTC, the
  // message's fraction kept); then the time elapsed since that second began.
  core::UtcNanos second = candidate.message_utc;
  core::MonotonicNanos second_began = timing.second_began;
  if (settings.OnlyMinSec) {
    const std::optional<core::UtcNanos> as_utc = core::UtcNanosOf(decision.SetTime);
    if (!as_utc) return;
    second = *as_utc - candidate.local_offset_minutes * core::kNanosPerMinute +
             FloorMod(candidate.message_utc, core::kNanosPerSecond);
  }
  SetClock(context, candidate, second + (monotonic_.NowMonotonic() - second_began));
}

void ReceiverTimeKeeper::SetClock(const MessageContext& context,
                                  const core::ClockCandidate& candidate, core::UtcNanos target) {
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

void ReceiverTimeKeeper::ReportFailure(const MessageContext& context,
                                       const core::ClockCandidate& candidate, core::UtcNanos target,
                                       const std::string& reason) {
  context.shared.clock_keeping.SetProblem("PC clock not set: " + reason);
  const core::MonotonicNanos now = monotonic_.NowMonotonic();
  if (reason == logged_failure_ && now - logged_failure_at_ < kFailureReminderNanos) return;
  logged_failure_ = reason;
  logged_failure_at_ = now;
  if (!context.settings.LoggingEnabled) return;
  const core::DateTime local =
      core::DateTimeAt(target, candidate.local_offset_minutes).value_or(candidate.Local());
  context.LogThroughMainThread("Could not set PC time to " + core::FormatShortDate(local) + " " +
                               core::FormatLongTime(local) + ": " + reason);
}

}  // namespace orvik::service

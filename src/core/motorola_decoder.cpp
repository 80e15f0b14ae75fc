#include "core/motorola_decoder.h"

#include <string>

#include "core/checksums.h"
#include "core/clock_update.h"
#include "core/time_message_builder.h"

namespace orvik::core {

namespace {

std::size_t BodyLength(std::span<const std::uint8_t> header) {
  return header[3] == 'a' ? kEaBodyLength : kHbBodyLength;
}

}  // namespace

bool MotorolaFrameIntact(std::span<const std::uint8_t> header, std::span<const std::uint8_t> body) {
  if (header.size() < 4) return false;
  const std::size_t length = BodyLength(header);
  if (body.size() < length) return false;
  const std::size_t checksum_at = length - 3;
  const std::uint8_t computed = MotorolaChecksum(header.subspan(2, 2)) ^
                                MotorolaChecksum(body.first(checksum_at));
  return body[checksum_at] == computed && body[length - 2] == '\r' && body[length - 1] == '\n';
}

NmeaOutcome DecodeMotorola(std::uint32_t& MessageCounter, std::span<const std::uint8_t> header,
                           std::span<const std::uint8_t> body, const Settings& settings,
                           const std::function<DateTime()>& read_pc_now) {
  NmeaOutcome outcome;
  if (header.size() < 4 || body.size() < 37 || !MotorolaFrameIntact(header, body)) {
    outcome.display = DisplayUpdate{kBadChecksumText, kBadChecksumText, kBadChecksumText};
    return outcome;
  }
  const std::uint8_t letter = header[3];
  outcome.time_message = BuildTimeMessage(body, letter);

  DateTime local;
  local.month = body[kOffsetMonth];
  local.day = body[kOffsetDay];
  local.year = ReadBeU16(body, kOffsetYear);
  local.hour = body[kOffsetHour];
  local.minute = body[kOffsetMinute];
  local.second = body[kOffsetSecond];

  StepMessageCounter(MessageCounter);
  outcome.pc_now = read_pc_now();
  const ClockDecision decision =
      UpdatePcClock(MessageCounter, settings, local, ClockPath::kMotorola, outcome.pc_now);
  if (decision.set_clock) outcome.set_time = decision.SetTime;

  const std::uint8_t visible = (*outcome.time_message)[kOffsetVisible];
  const std::uint8_t tracked = (*outcome.time_message)[kOffsetTracked];
  // The receiver's own fix state is not looked at: no "?" marks.
  outcome.display = AcceptedDisplay(local, /*valid_fix=*/true, tracked, visible);
  return outcome;
}

}  // namespace orvik::core

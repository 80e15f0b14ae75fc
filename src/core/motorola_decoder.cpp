#include "core/motorola_decoder.h"

#include <algorithm>
#include <array>
#include <string>

#include "core/calendar.h"
#include "core/checksums.h"
#include "core/clock_update.h"
#include "core/time_message_builder.h"
#include "core/week_rollover.h"

namespace orvik::core {

namespace {

std::size_t BodyLength(std::span<const std::uint8_t> header) {
  return header[3] == 'a' ? kEaBodyLength : kHbBodyLength;
}

}  // namespace

bool IsOffsetAnswer(std::span<const std::uint8_t> header) {
  return header.size() >= 4 && header[0] == '@' && header[1] == '@' && header[3] == 'b' &&
         (header[2] == 'G' || header[2] == 'A');
}

bool MotorolaFrameIntact(std::span<const std::uint8_t> header, std::span<const std::uint8_t> body) {
  if (header.size() < 4) return false;
  const std::size_t length = BodyLength(header);
  if (body.size() < length) return false;
  const std::size_t checksum_at = length - 3;
  const std::uint8_t computed =
      MotorolaChecksum(header.subspan(2, 2)) ^ MotorolaChecksum(body.first(checksum_at));
  return body[checksum_at] == computed && body[length - 2] == '\r' && body[length - 1] == '\n';
}

DecodedMessage MotorolaDecoder::DecodeMotorola(std::span<const std::uint8_t> header,
                                               std::span<const std::uint8_t> body,
                                               std::optional<std::int64_t> receiver_offset_minutes,
                                               const RolloverCheck& rollover) const {
  DecodedMessage outcome;
  if (header.size() < 4 || body.size() < 37 || !MotorolaFrameIntact(header, body)) {
    outcome.display = DisplayUpdate{{kBadChecksumText, kBadChecksumText, kBadChecksumText}};
    return outcome;
  }
  outcome.counted = true;

  DateTime local;
  local.month = body[kOffsetMonth];
  local.day = body[kOffsetDay];
  local.year = ReadBeU16(body, kOffsetYear);
  local.hour = body[kOffsetHour];
  local.minute = body[kOffsetMinute];
  local.second = body[kOffsetSecond];
  if (local.year < 1 || local.year > 9999) return outcome;
  // The record carries the receiver's bytes; a corrected date replaces its own.
  std::array<std::uint8_t, kEaBodyLength> data{};
  std::copy_n(body.begin(), std::min(body.size(), data.size()), data.begin());
  if (const std::optional<UtcNanos> as_if_utc = UtcNanosOf(local)) {
    outcome.rollover_eras = RolloverEras(*as_if_utc, rollover);
    const std::optional<DateTime> corrected =
        ShiftedByMinutes(local, outcome.rollover_eras * kGpsWeekEraNanos / kNanosPerMinute);
    if (outcome.rollover_eras > 0 && corrected) {
      local.year = corrected->year;
      local.month = corrected->month;
      local.day = corrected->day;
      data[kOffsetMonth] = static_cast<std::uint8_t>(local.month);
      data[kOffsetDay] = static_cast<std::uint8_t>(local.day);
      WriteBeU16(data, kOffsetYear, local.year);
    }
  }
  if (IsValidDate(local.year, local.month, local.day)) {
    local.day_of_week = static_cast<std::uint16_t>(DayOfWeek(local.year, local.month, local.day));
  }

  const std::uint8_t letter = header[3];
  outcome.time_message =
      BuildTimeMessage(std::span(data).first(std::min(body.size(), data.size())), letter);
  if (receiver_offset_minutes) {
    if (const std::optional<UtcNanos> as_if_utc = UtcNanosOf(local)) {
      // Data bytes 7-10: the fraction of the second in nanoseconds.
      const std::uint32_t fraction = static_cast<std::uint32_t>(body[7]) << 24 |
                                     static_cast<std::uint32_t>(body[8]) << 16 |
                                     static_cast<std::uint32_t>(body[9]) << 8 | body[10];
      outcome.clock = ClockCandidate{*as_if_utc - *receiver_offset_minutes * kNanosPerMinute +
                                         (fraction < kNanosPerSecond ? fraction : 0),
                                     *receiver_offset_minutes, ClockPath::kMotorola};
      outcome.message_utc = outcome.clock->message_utc;
    }
  }

  const std::uint8_t visible = (*outcome.time_message)[kOffsetVisible];
  const std::uint8_t tracked = (*outcome.time_message)[kOffsetTracked];
  // The receiver's own fix state is not looked at: no "?" marks.
  outcome.display = AcceptedDisplay(local, /*valid_fix=*/true, tracked, visible);
  return outcome;
}

}  // namespace orvik::core

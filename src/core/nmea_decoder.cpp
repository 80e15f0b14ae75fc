#include "core/nmea_decoder.h"

#include <algorithm>
#include <array>

#include "core/calendar.h"
#include "core/checksums.h"
#include "core/time_message_builder.h"
#include "core/week_rollover.h"

namespace orvik::core {

namespace {

int HexDigitValue(std::uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Two decimal digits at `pos`; -1 unless both are digits.
int TwoDigits(std::span<const std::uint8_t> text, std::size_t pos) {
  if (pos + 1 >= text.size()) return -1;
  const std::uint8_t a = text[pos];
  const std::uint8_t b = text[pos + 1];
  if (a < '0' || a > '9' || b < '0' || b > '9') return -1;
  return (a - '0') * 10 + (b - '0');
}

// Index of the field after the n-th comma (the comma at index 0 is the
// first), searching the sentence body up to `end`; nullopt if absent.
std::optional<std::size_t> FieldAfterComma(std::span<const std::uint8_t> body, int n) {
  int seen = 0;
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] == ',' && ++seen == n) return i + 1;
  }
  return std::nullopt;
}

// Milliseconds of the fraction after the seconds of an RMC time field
// ("hhmmss.sss"; digits beyond the third are dropped), 0 without one, -1 when
// the field holds anything else after the six digits.
int FractionMilliseconds(std::span<const std::uint8_t> body) {
  std::size_t i = 7;  // after ",hhmmss"
  if (i >= body.size() || body[i] == ',') return 0;
  if (body[i] != '.') return -1;
  int millis = 0;
  int digits = 0;
  for (++i; i < body.size() && body[i] != ','; ++i) {
    if (body[i] < '0' || body[i] > '9') return -1;
    if (digits < 3) millis = millis * 10 + (body[i] - '0');
    ++digits;
  }
  for (; digits < 3; ++digits) millis *= 10;
  return millis;
}

bool IsType(std::span<const std::uint8_t> address, const char (&type)[4]) {
  // A talker of two letters, not a proprietary "P..." sentence.
  return address.size() == 5 && address[0] != 'P' && address[2] == type[0] &&
         address[3] == type[1] && address[4] == type[2];
}

}  // namespace

bool NmeaChecksumMatches(std::span<const std::uint8_t> address, std::span<const std::uint8_t> body,
                         std::size_t body_length) {
  const std::size_t star = body_length - 5;
  const std::uint8_t computed = NmeaChecksum(address) ^ NmeaChecksum(body.first(star));
  const int high = HexDigitValue(body[body_length - 4]);
  const int low = HexDigitValue(body[body_length - 3]);
  return high >= 0 && low >= 0 && computed == (high << 4 | low);
}

DecodedMessage NmeaDecoder::DecodeNmea(std::span<const std::uint8_t> sentence,
                                       const Settings& settings, std::int32_t summer_hours,
                                       const RolloverCheck& rollover) {
  DecodedMessage outcome;
  constexpr std::size_t kAddressLength = 5;
  if (sentence.size() < kAddressLength + 5) return outcome;
  const std::span<const std::uint8_t> address = sentence.first(kAddressLength);
  const std::span<const std::uint8_t> payload = sentence.subspan(kAddressLength);
  const std::size_t body_length = payload.size();
  if (!NmeaChecksumMatches(address, payload, body_length)) {
    outcome.display = DisplayUpdate{{kBadChecksumText, kBadChecksumText, kBadChecksumText}};
    return outcome;
  }
  // Everything before "*": the fields.
  const std::span<const std::uint8_t> body = payload.first(body_length - 5);

  const std::array<char, 2> talker = {static_cast<char>(address[0]), static_cast<char>(address[1])};
  if (IsType(address, "GSV")) {
    satellites_.OnGsv(talker, body);
    return outcome;
  }
  if (IsType(address, "GSA")) {
    satellites_.OnGsa(talker, body);
    return outcome;
  }
  if (!IsType(address, "RMC")) return outcome;

  // Field 1 hhmmss[.sss], field 2 status, field 9 ddmmyy.
  const bool has_time = body.size() >= 2 && body[0] == ',' && body[1] != ',';
  const int hour = has_time ? TwoDigits(body, 1) : -1;
  const int minute = has_time ? TwoDigits(body, 3) : -1;
  const int second = has_time ? TwoDigits(body, 5) : -1;
  const int millis = has_time ? FractionMilliseconds(body) : -1;
  const auto status_field = FieldAfterComma(body, 2);
  const bool valid_fix = status_field && *status_field < body.size() && body[*status_field] == 'A';
  const auto date_field = FieldAfterComma(body, 9);
  const int day = date_field ? TwoDigits(body, *date_field) : -1;
  const int month = date_field ? TwoDigits(body, *date_field + 2) : -1;
  const int year2 = date_field ? TwoDigits(body, *date_field + 4) : -1;

  std::optional<UtcNanos> message_utc;
  DateTime utc;
  if (status_field && year2 >= 0 && IsValidDate(2000 + year2, month, day) && millis >= 0 &&
      IsValidTimeOfDay(hour, minute, second, millis)) {
    utc.year = static_cast<std::uint16_t>(2000 + year2);
    utc.month = static_cast<std::uint16_t>(month);
    utc.day = static_cast<std::uint16_t>(day);
    utc.hour = static_cast<std::uint16_t>(hour);
    utc.minute = static_cast<std::uint16_t>(minute);
    utc.second = static_cast<std::uint16_t>(second);
    utc.day_of_week = static_cast<std::uint16_t>(DayOfWeek(utc.year, utc.month, utc.day));
    utc.millisecond = static_cast<std::uint16_t>(millis);
    message_utc = UtcNanosOf(utc);
    utc.millisecond = 0;
  }
  if (message_utc) {
    outcome.rollover_eras = RolloverEras(*message_utc, rollover);
    if (outcome.rollover_eras > 0) {
      *message_utc += outcome.rollover_eras * kGpsWeekEraNanos;
      const std::optional<DateTime> corrected = DateTimeAt(*message_utc);
      if (corrected) {
        utc = *corrected;
        utc.millisecond = 0;
      }
    }
  }
  // A second talker reporting the same instant adds nothing.
  if (message_utc && last_rmc_utc_ == message_utc) return outcome;
  last_rmc_utc_ = message_utc;

  outcome.counted = true;
  satellites_.OnRmc(body);
  if (!message_utc) return outcome;  // not a real date and time: counted, nothing else
  outcome.message_utc = message_utc;

  // 64-bit: no setting can overflow it; a local date outside 1..9999 is dropped.
  const std::int64_t offset_minutes =
      (static_cast<std::int64_t>(settings.GmtHours) + summer_hours) * 60 + settings.GmtMinutes;
  const std::optional<DateTime> shifted = ShiftedByMinutes(utc, offset_minutes);
  if (!shifted) return outcome;
  const DateTime& local = *shifted;

  if (valid_fix) {
    outcome.clock = ClockCandidate{*message_utc, offset_minutes, ClockPath::kNmea};
  }

  const std::uint8_t visible = satellites_.Visible();
  const std::uint8_t tracked = satellites_.Tracked();
  outcome.time_message = TimeMessageOf(local, visible, valid_fix ? tracked : 0);

  outcome.display = AcceptedDisplay(local, valid_fix, tracked, visible);
  return outcome;
}

}  // namespace orvik::core

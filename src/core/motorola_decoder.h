// DecodeMotorola: checks and decodes one framed Motorola "@@Ea" (76 bytes)
// or "@@Hb" (54 bytes) message. Pure; the caller carries out the result.
//
// Layout after the four header bytes (multi-byte numbers most significant
// byte first):
//   0 month, 1 day, 2-3 year, 4 hour, 5 minute, 6 second,
//   7-10 the fraction of the second in nanoseconds,
//   7-33 the receiver's other data (passed on in the time record untouched),
//   Ea: 34 satellites visible, 35 tracked;  Hb: 35 visible, 36 tracked;
//   then one checksum byte (XOR of the two letters and the data bytes), CR, LF
//   (Ea: data 0-68, checksum at 69; Hb: data 0-46, checksum at 47).
// The receiver reports local time (it applies the GMT offset it was sent).
//
// A message whose checksum, CR or LF is wrong is rejected like an NMEA
// sentence with a bad checksum: "--------" shown, nothing sent, the clock
// and the message not counted. A message whose date or time fields
// are out of range is sent and shown but never sets the clock; one dated
// outside the years 1..9999 is counted but neither sent nor shown.
//
// The receiver's local time is UTC plus the offset of the GMT offset command
// it was last sent; only when that offset is known can the message's UTC be
// told, and only then is the message offered to the clock decision.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "core/date_time.h"
#include "core/decoded_message.h"
#include "core/week_rollover.h"

namespace orvik::core {

// The bytes after the four header bytes, CR LF included: the framer reads
// them, the decoder checks and decodes them.
inline constexpr std::size_t kEaBodyLength = 72;
inline constexpr std::size_t kHbBodyLength = 50;
// The receiver's answers to the GMT offset commands: the message of the same
// name, its fields as the receiver now applies them (core/receiver_commands.h).
inline constexpr std::size_t kGbBodyLength = 13;
inline constexpr std::size_t kAbBodyLength = 6;

// True for the header of an answer to a GMT offset command ("@@Gb", "@@Ab").
bool IsOffsetAnswer(std::span<const std::uint8_t> header);

// Returns true when the checksum byte, CR and LF of the message are right.
// `header` holds "@@Ea" or "@@Hb"; `body` at least the message's rest.
bool MotorolaFrameIntact(std::span<const std::uint8_t> header, std::span<const std::uint8_t> body);

// The Motorola decoder of one acquisition. It keeps nothing between
// messages: the receiver's offset comes with each call.
class MotorolaDecoder {
 public:
  // Decodes one message. `header` holds the four header bytes, `body` the
  // bytes after them (at least 72 for "Ea", 50 for "Hb"; body.size() >= 37).
  // `receiver_offset_minutes`: the offset the receiver applies, when known.
  // A date whole GPS week eras behind is corrected (core/week_rollover.h),
  // in the record sent as well.
  DecodedMessage DecodeMotorola(std::span<const std::uint8_t> header,
                                std::span<const std::uint8_t> body,
                                std::optional<std::int64_t> receiver_offset_minutes,
                                const RolloverCheck& rollover) const;
};

}  // namespace orvik::core

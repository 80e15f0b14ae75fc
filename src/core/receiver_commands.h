// The commands the program sends to the receiver: the offset of local time
// from GMT and the interval at which the receiver transmits its time. Pure;
// any thread. The main thread composes them and hands them to the
// acquisition thread, which writes them to the port.
//
// Wire layouts (Motorola numbers are single unsigned bytes except the
// 16-bit year, high byte first; a Motorola checksum is the XOR of the bytes
// after "@@" up to the checksum byte):
//   GMT offset, M12    "@@Gb" month day year(2) hour minute second
//                      sign hours minutes checksum CR LF             17 bytes
//   GMT offset, Oncore "@@Ab" sign hours minutes checksum CR LF       10 bytes
//   GMT offset, NMEA   none: the program itself adds the summer hour
//   Interval, NMEA     "$PGRMC1," interval digits, thirteen commas, "*",
//                      two hex checksum digits, CR LF       27 bytes for 1..9
//   Interval, M12      "@@Hb" interval checksum CR LF                  8 bytes
//   Interval, Oncore   "@@Ea" interval checksum CR LF                  8 bytes
//
// A value that its field cannot carry is refused with a message for the
// operator; no command is composed, so a receiver never gets a truncated,
// wrong value.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/date_time.h"
#include "core/settings.h"
#include "core/status.h"

namespace orvik::core {

// The three GMT offset bytes of the Motorola commands.
struct GmtOffsetFields {
  std::uint8_t sign = 0;     // 255 when GmtHours is negative, else 0
  std::uint8_t hours = 0;    // |GmtHours + 1 in summer time, else + 0|
  std::uint8_t minutes = 0;  // |GmtMinutes|

  friend bool operator==(const GmtOffsetFields&, const GmtOffsetFields&) = default;
};

// The longest transmission interval, in seconds, the NMEA receiver takes.
inline constexpr std::uint16_t kMaxNmeaTransmitInterval = 900;
// The longest interval a Motorola command carries (one byte).
inline constexpr std::uint16_t kMaxMotorolaTransmitInterval = 255;

// Returns the offset fields for GmtHours and GmtMinutes, with one hour more
// while summer time is in effect; the sign follows GmtHours alone. Fails with
// kInvalidArgument when the hours or minutes do not fit one byte.
Result<GmtOffsetFields> GmtOffsetFieldsFor(const Settings& settings, bool summer_in_effect);

// Returns the GMT offset command for settings.Protocol: "@@Gb" carrying
// `pc_now` (the PC's local time, read just before) for the M12, "@@Ab" for
// the Oncore, and an empty command for the NMEA protocols (nothing is sent).
// Fails with kInvalidArgument, composing nothing, when a field does not fit.
Result<std::vector<std::uint8_t>> ComposeGmtOffsetCommand(const Settings& settings,
                                                          bool summer_in_effect,
                                                          const DateTime& pc_now);

// Returns the offset, in minutes ahead of UTC, that a GMT offset command
// written to the receiver sets, or that the receiver's answer to it (the
// message of the same name) reports ("@@Gb" or "@@Ab" with a good checksum: the
// sign applies to hours and minutes alike, as the receiver applies it), or
// nullopt for any other bytes. A Motorola receiver reports UTC plus this.
std::optional<std::int64_t> GmtOffsetMinutesOfCommand(std::span<const std::uint8_t> command);

// Returns the transmission interval command for settings.Protocol: "$PGRMC1"
// for the NMEA protocols (TransmitInterval 1..900, written in all its
// digits), "@@Hb" for the M12 and "@@Ea" for the Oncore (0..255). Fails with
// kInvalidArgument, composing nothing, for an interval outside those ranges.
Result<std::vector<std::uint8_t>> ComposeIntervalCommand(const Settings& settings);

}  // namespace orvik::core

// NmeaDecoder: checks and decodes one framed NMEA 0183 sentence at a time.
// Pure; the caller (the acquisition thread) carries out what the result asks
// for.
//
// Three sentence types matter: RMC (UTC time, fix status, date), GSV
// (satellites in view and their signals) and GSA (satellites in use), from
// any talker (GP, GN, GL, GA, GB, BD, GQ, ...); GSV and GSA only feed the
// satellite counts that the next RMC carries (core/satellite_tracker.h).
// Proprietary sentences (address starting with "P") and every other type
// are ignored once their checksum is tested.
//
// For an RMC sentence the UTC date and time are turned into local time
// with (GmtHours + SummerHours) hours and GmtMinutes minutes and written
// in the time record's layout; a valid fix ("A")
// is offered to the clock decision. A sentence whose time or date is not a
// real date and time (letters, month 13, second 60, an empty date), or whose
// local date falls outside the years 1..9999, counts for the clock's pacing
// but is neither sent, shown nor used to set the clock. An RMC that names the
// same instant as the RMC before it (a receiver sending GPRMC and GNRMC for
// each second) is dropped whole: one record, one count and one clock
// decision per instant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/clock_update.h"
#include "core/date_time.h"
#include "core/decoded_message.h"
#include "core/satellite_tracker.h"
#include "core/settings.h"
#include "core/time_message.h"
#include "core/utc_time.h"
#include "core/week_rollover.h"

namespace orvik::core {

// Returns true when the two characters after "*" match the XOR of the
// address and the body up to "*". Only upper-case hex digits match.
// REQUIRES: body_length >= 5 and body.size() >= body_length.
bool NmeaChecksumMatches(std::span<const std::uint8_t> address, std::span<const std::uint8_t> body,
                         std::size_t body_length);

// The NMEA decoder of one acquisition: it keeps the satellite counts the
// GSV and GSA sentences gather between RMC sentences, and the instant of
// the latest RMC, for dropping repeats.
class NmeaDecoder {
 public:
  // Decodes one sentence. `sentence` holds it from its five address
  // characters through "*", the checksum, CR and LF (no "$"). A date whole
  // GPS week eras behind is corrected (core/week_rollover.h).
  DecodedMessage DecodeNmea(std::span<const std::uint8_t> sentence, const Settings& settings,
                            std::int32_t summer_hours, const RolloverCheck& rollover);
  // A new acquisition: the satellites of an earlier one are forgotten.
  void Restart() { satellites_ = {}; }

 private:
  SatelliteTracker satellites_;
  std::optional<UtcNanos> last_rmc_utc_;
};

}  // namespace orvik::core

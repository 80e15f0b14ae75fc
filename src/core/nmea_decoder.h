// DecodeNmea: checks and decodes one framed NMEA 0183 sentence. Pure; the
// caller (the acquisition thread) carries out what the result asks for.
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
// local date falls outside the years 1..9999, steps the message counter but
// is neither sent, shown nor used to set the clock. An RMC that names the
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
#include "core/satellite_tracker.h"
#include "core/settings.h"
#include "core/time_message.h"
#include "core/utc_time.h"
#include "core/week_rollover.h"

namespace orvik::core {

// The three status texts shown on a bad checksum.
inline constexpr const char* kBadChecksumText = "--------";

struct DisplayUpdate {
  std::string TimeText;
  std::string DateText;
  std::string SatText;
  // False for a bad checksum: only the texts change.
  bool accepted = false;
  bool NoSatFlag = false;
};

// The texts and flags of an accepted time message: "h:m:s" (framed by "?"
// while the fix is not valid), "d.m.yyyy" and "tracked / visible", without
// leading zeros.
DisplayUpdate AcceptedDisplay(const DateTime& local, bool valid_fix, std::uint8_t tracked,
                              std::uint8_t visible);

struct NmeaOutcome {
  std::optional<DisplayUpdate> display;     // publish, and set NewDisplayFlag
  std::optional<TimeMessage> time_message;  // send to the LAN clients
  std::optional<ClockCandidate> clock;      // offer to the clock decision
  // The instant a time message names (its second, with any fraction it
  // gives), when it can be told: every time message with a real date and
  // time from an NMEA receiver; from a Motorola one, once its offset from
  // UTC is known. The caller times the message by it.
  std::optional<UtcNanos> message_utc;
  // The receiver's date was a whole number of GPS week eras behind and was
  // corrected by this many (core/week_rollover.h); 0: as received.
  int rollover_eras = 0;
};

// Returns true when the two characters after "*" match the XOR of the
// address and the body up to "*". Only upper-case hex digits match.
// REQUIRES: body_length >= 5 and body.size() >= body_length.
bool NmeaChecksumMatches(std::span<const std::uint8_t> address, std::span<const std::uint8_t> body,
                         std::size_t body_length);

// Decodes one sentence. `sentence` holds it from its five address
// characters through "*", the checksum, CR and LF (no "$").
// `MessageCounter` counts accepted time messages for the clock decision;
// `satellites` collects the GSV and GSA counts between RMC sentences;
// `last_rmc_utc` holds the instant of the latest RMC, for dropping repeats. A
// date whole GPS week eras behind is corrected (core/week_rollover.h).
NmeaOutcome DecodeNmea(std::uint32_t& MessageCounter, SatelliteTracker& satellites,
                       std::optional<UtcNanos>& last_rmc_utc,
                       std::span<const std::uint8_t> sentence, const Settings& settings,
                       std::int32_t summer_hours, const RolloverCheck& rollover);

}  // namespace orvik::core

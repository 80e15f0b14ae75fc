// DecodedMessage: what a decoder (NMEA or Motorola) made of one framed
// message, for the caller to carry out: the status texts, the record for the
// clients, the time offered to the clock, the instant it names, and whether
// it counts towards the clock's pacing. Pure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/clock_update.h"
#include "core/date_time.h"
#include "core/time_message.h"
#include "core/utc_time.h"

namespace orvik::core {

// The three status texts shown on a bad checksum.
inline constexpr const char* kBadChecksumText = "--------";

// The three texts of the status window: time, date and satellites.
struct DisplayTexts {
  std::string TimeText;
  std::string DateText;
  std::string SatText;

  friend bool operator==(const DisplayTexts&, const DisplayTexts&) = default;
};

// What a message shows: its texts and, when it was accepted, its flags.
struct DisplayUpdate {
  DisplayTexts texts;
  // False for a bad checksum: only the texts change.
  bool accepted = false;
  bool NoSatFlag = false;
};

// The texts and flags of an accepted time message: "h:m:s" (framed by "?"
// while the fix is not valid), "d.m.yyyy" and "tracked / visible", without
// leading zeros.
DisplayUpdate AcceptedDisplay(const DateTime& local, bool valid_fix, std::uint8_t tracked,
                              std::uint8_t visible);

struct DecodedMessage {
  std::optional<DisplayUpdate> display;     // publish, and set NewDisplayFlag
  std::optional<TimeMessage> time_message;  // send to the LAN clients
  std::optional<ClockCandidate> clock;      // offer to the clock decision
  // The instant a time message names (its second, with any fraction it
  // gives), when it can be told: every time message with a real date and
  // time from an NMEA receiver; from a Motorola one, once its offset from
  // UTC is known. The caller times the message by it.
  std::optional<UtcNanos> message_utc;
  // An accepted time message: the clock pacer counts it (core/clock_pacer.h).
  bool counted = false;
  // The receiver's date was a whole number of GPS week eras behind and was
  // corrected by this many (core/week_rollover.h); 0: as received.
  int rollover_eras = 0;
};

}  // namespace orvik::core

// Damaged time messages on demand (--corrupt, --corrupt-every): the
// simulator sends every N-th time message with a wrong checksum, one byte
// short, or under a wrong header letter, so the program's rejection of
// broken messages can be watched end to end. Pure; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gpstime_sim/options.h"

namespace orvik::tools {

// True when the `number`-th time message sent (counted from 1) is to go out
// damaged under `options`.
bool IsDamaged(const SimOptions& options, std::int64_t number);

// Returns `output` (one time message as built: a Motorola message, or an
// NMEA group whose first sentence is its GPRMC) damaged as `kind` says:
//   kChecksum  Motorola: the checksum byte inverted; NMEA: the GPRMC's two
//              checksum digits those of the inverted checksum;
//   kLength    the final LF left out (of the message, or of the GPRMC);
//   kHeader    Motorola: the second letter swapped between "a" and "b"
//              ("@@Hb" becomes "@@Ha"); NMEA: the address's last letter
//              moved on by one ("GPRMC" becomes "GPRMD"); the checksum is
//              made to fit, so the header alone is wrong.
// kNone, or an output too short to carry what is damaged, is returned as it is.
std::vector<std::uint8_t> Damage(std::vector<std::uint8_t> output, Corruption kind, bool nmea);

// "checksum", "length", "header" or "none".
std::string CorruptionName(Corruption kind);

}  // namespace orvik::tools

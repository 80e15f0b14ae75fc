// The two checksums of the receiver protocols, and the NMEA sentence framing
// that carries one. Pure; any thread.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orvik::core {

// Returns the XOR of `bytes`. The caller passes everything between "$" and
// "*" of an NMEA sentence.
std::uint8_t NmeaChecksum(std::span<const std::uint8_t> bytes);

// Returns the XOR of `bytes`. The caller passes the two message letters and
// the data bytes of a Motorola message (everything between "@@" and the
// checksum byte).
std::uint8_t MotorolaChecksum(std::span<const std::uint8_t> bytes);

// Returns "$" + body + "*" + the checksum as two upper-case hexadecimal
// digits + CR LF. `body_without_dollar` is e.g. "GPRMC,120316,V,...".
std::string NmeaSentence(std::string_view body_without_dollar);

// Returns "@@", the two letters, `data`, the checksum of letters and data,
// CR and LF: a whole Motorola message or command.
std::vector<std::uint8_t> MotorolaMessage(char first, char second,
                                          std::span<const std::uint8_t> data);

}  // namespace orvik::core

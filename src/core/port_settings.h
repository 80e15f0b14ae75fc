// Line settings of the receiver port: speed codes, baud rates and the serial
// time-out tables. Pure data; any thread may read a copy.
#pragma once

#include <array>
#include <cstdint>

namespace orvik::core {

// Index 1..8 into the baud and time-out tables (110 .. 9600 baud).
using SpeedCode = std::uint8_t;
inline constexpr SpeedCode kSpeedCode4800 = 7;
inline constexpr SpeedCode kSpeedCode9600 = 8;
inline constexpr std::size_t kSpeedCodeCount = 8;

// Returns 7 (4800 baud) for protocol 0 and 8 (9600 baud) for every other protocol.
constexpr SpeedCode SpeedCodeForProtocol(std::int32_t protocol) {
  return protocol == 0 ? kSpeedCode4800 : kSpeedCode9600;
}

// Returns the baud rate of a speed code 1..8; 0 for any other code.
constexpr std::uint32_t BaudForSpeedCode(SpeedCode code) {
  constexpr std::array<std::uint32_t, kSpeedCodeCount> kBaud = {110,  200,  300,  600,
                                                                1200, 2400, 4800, 9600};
  return code >= 1 && code <= kSpeedCodeCount ? kBaud[code - 1] : 0;
}

// The COM port number is the low byte of the configured port number.
constexpr std::uint8_t ComNumberFromPortNumber(std::uint16_t port_number) {
  return static_cast<std::uint8_t>(port_number & 0xFF);
}

// The five serial time-outs of one speed, in milliseconds. A read ends when
// all bytes have arrived, when more than read_interval passes between two
// bytes (0: no interval limit), or when read_total_per_byte * n +
// read_total_constant has passed since it began (both 0: no total limit).
struct SerialTimeouts {
  std::uint16_t read_interval = 0;
  std::uint16_t read_total_per_byte = 0;
  std::uint16_t read_total_constant = 0;
  std::uint16_t write_total_per_byte = 0;
  std::uint16_t write_total_constant = 0;

  friend bool operator==(const SerialTimeouts&, const SerialTimeouts&) = default;
};

// Five tables of eight entries, indexed [table][speed code - 1], in the order
// read interval, read total per byte, read total constant, write total per
// byte, write total constant ("timeouts.txt" lists them in that order).
struct TimeoutTable {
  static constexpr std::size_t kTableCount = 5;
  std::array<std::array<std::uint16_t, kSpeedCodeCount>, kTableCount> tables{};

  // The five values for one speed code. REQUIRES: 1 <= code <= 8.
  SerialTimeouts ForSpeedCode(SpeedCode code) const {
    const std::size_t i = code - 1u;
    return SerialTimeouts{tables[0][i], tables[1][i], tables[2][i], tables[3][i], tables[4][i]};
  }

  friend bool operator==(const TimeoutTable&, const TimeoutTable&) = default;
};

// The built-in time-outs, used when "timeouts.txt" gives none.
constexpr TimeoutTable DefaultTimeoutTable() {
  TimeoutTable t;
  t.tables[0] = {200, 200, 200, 200, 20, 20, 100, 100};
  t.tables[1] = {200, 200, 200, 200, 120, 60, 30, 15};
  t.tables[2] = {800, 700, 600, 600, 360, 180, 90, 45};
  t.tables[3] = {200, 200, 200, 200, 120, 60, 30, 15};
  t.tables[4] = {200, 200, 200, 200, 120, 60, 30, 15};
  return t;
}

}  // namespace orvik::core

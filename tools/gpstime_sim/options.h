// Command-line options of the receiver simulator: what it emits, where, how
// fast and for how long. Parsing is pure; any thread may call these functions.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/status.h"
#include "gpstime_sim/sim_time.h"

namespace orvik::tools {

enum class SimProtocol { kNmea, kNmea9600, kM12, kOncore };
enum class MotorolaMessage { kHb, kEa };
enum class Pace { kSentence, kBytes, kLines };
// How a damaged time message is damaged (--corrupt).
enum class Corruption { kNone, kChecksum, kLength, kHeader };

struct SimOptions {
  std::string dir = ".";
  int port = 2;
  SimProtocol protocol = SimProtocol::kNmea;
  MotorolaMessage message = MotorolaMessage::kHb;  // m12: Hb, oncore: Ea, unless --message
  std::int64_t interval_ms = 1000;
  std::optional<UnixMillis> start;  // UTC; nullopt = the current time
  bool fix_valid = true;            // --status A
  int visible = 8;
  int tracked = 6;
  int fraction_digits = 3;  // digits after the seconds of the NMEA time fields
  bool rmc_last = false;    // NMEA group order GGA, GSA, GSV..., RMC (default: RMC first)
  std::string write_log;    // --log-writes: file for the real time of each sentence's end
  std::string replay_file;  // empty = live messages
  Pace pace = Pace::kSentence;
  std::optional<std::int64_t> per_sentence_ms;  // replay pacing; default interval_ms
  std::optional<std::int64_t> count;
  std::optional<std::int64_t> duration_ms;  // counted from the start-up line
  std::int64_t start_delay_ms = 0;          // silence before the first message
  // Live messages: each message's output begins this long after the instant
  // it stands for, as from a receiver that is late by that much (0..999).
  std::int64_t receiver_delay_ms = 0;
  // Live messages: each message's output begins a further 0..jitter_ms late,
  // drawn uniformly and independently per message (0..500).
  std::int64_t jitter_ms = 0;
  std::optional<std::uint64_t> seed;  // of the jitter draws; unset: a random one
  // The receiver neither applies nor answers GMT offset commands.
  bool ignore_offset_command = false;
  int baud = 4800;  // 4800 for nmea, 9600 otherwise, unless --baud
  Corruption corrupt = Corruption::kNone;
  std::optional<std::int64_t> corrupt_every;  // damage every N-th time message; unset: 1
  bool quiet = false;
  bool help = false;
  bool version = false;  // print the version and stop

  bool IsNmea() const {
    return protocol == SimProtocol::kNmea || protocol == SimProtocol::kNmea9600;
  }
};

// Parses the arguments after the program name. Returns the options, or
// kInvalidArgument with a one-line message naming the offending option.
core::Result<SimOptions> ParseOptions(std::span<const std::string_view> args);

// Returns the text printed by --help.
std::string HelpText();

}  // namespace orvik::tools

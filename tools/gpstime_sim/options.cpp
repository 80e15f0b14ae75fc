#include "gpstime_sim/options.h"

#include <charconv>
#include <functional>
#include <map>

namespace orvik::tools {
namespace {

using core::Result;
using core::Status;
using core::StatusCode;

constexpr std::int64_t kMaxIntervalMs = 3'600'000;
constexpr int kMaxSatellites = 32;
constexpr std::int64_t kMaxReceiverDelayMs = 999;

Status Invalid(std::string_view option, std::string_view value, std::string_view why) {
  return Status::Error(StatusCode::kInvalidArgument,
                       std::string(option) + " '" + std::string(value) + "': " + std::string(why));
}

std::optional<std::int64_t> ParseWhole(std::string_view text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// "2", "0.2", "1.25": seconds with at most three decimals, as milliseconds.
std::optional<std::int64_t> ParseSecondsAsMs(std::string_view text) {
  const std::size_t dot = text.find('.');
  const std::string_view whole = text.substr(0, dot);
  std::string_view fraction = dot == std::string_view::npos ? "" : text.substr(dot + 1);
  if ((whole.empty() && fraction.empty()) || fraction.size() > 3 || whole.size() > 9) {
    return std::nullopt;
  }
  std::int64_t ms = 0;
  for (const char c : whole) {
    if (c < '0' || c > '9') return std::nullopt;
    ms = ms * 10 + (c - '0');
  }
  ms *= 1000;
  std::int64_t scale = 100;
  for (const char c : fraction) {
    if (c < '0' || c > '9') return std::nullopt;
    ms += (c - '0') * scale;
    scale /= 10;
  }
  return ms;
}

// Stores a whole number within [low, high] into `out`.
Status SetRanged(std::string_view option, std::string_view value, std::int64_t low,
                 std::int64_t high, std::int64_t& out) {
  const std::optional<std::int64_t> number = ParseWhole(value);
  if (!number || *number < low || *number > high) {
    return Invalid(option, value,
                   "expected a whole number " + std::to_string(low) + ".." + std::to_string(high));
  }
  out = *number;
  return Status::Ok();
}

Status SetInt(std::string_view option, std::string_view value, int low, int high, int& out) {
  std::int64_t number = 0;
  Status status = SetRanged(option, value, low, high, number);
  if (status.ok()) out = static_cast<int>(number);
  return status;
}

Status SetSeconds(std::string_view option, std::string_view value, std::int64_t& out) {
  const std::optional<std::int64_t> ms = ParseSecondsAsMs(value);
  if (!ms || *ms < 10 || *ms > kMaxIntervalMs * 24) {
    return Invalid(option, value, "expected seconds such as 1 or 0.2 (at least 0.01)");
  }
  out = *ms;
  return Status::Ok();
}

using Setter = std::function<Status(std::string_view option, std::string_view value,
                                    SimOptions& options, bool& baud_given, bool& message_given)>;

const std::map<std::string_view, Setter>& ValueOptions() {
  static const std::map<std::string_view, Setter> kOptions = {
      {"--dir", [](auto, auto v, SimOptions& o, bool&, bool&) {
         if (v.empty()) return Invalid("--dir", v, "expected a folder");
         o.dir = std::string(v);
         return Status::Ok();
       }},
      {"--port", [](auto n, auto v, SimOptions& o, bool&, bool&) {
         return SetInt(n, v, 0, 255, o.port);
       }},
      {"--protocol", [](auto n, auto v, SimOptions& o, bool&, bool& message_given) {
         if (v == "nmea") o.protocol = SimProtocol::kNmea;
         else if (v == "nmea9600") o.protocol = SimProtocol::kNmea9600;
         else if (v == "m12") o.protocol = SimProtocol::kM12;
         else if (v == "oncore") o.protocol = SimProtocol::kOncore;
         else return Invalid(n, v, "expected nmea, nmea9600, m12 or oncore");
         if (!message_given) {
           o.message = o.protocol == SimProtocol::kOncore ? MotorolaMessage::kEa
                                                           : MotorolaMessage::kHb;
         }
         return Status::Ok();
       }},
      {"--message", [](auto n, auto v, SimOptions& o, bool&, bool& message_given) {
         if (v == "hb") o.message = MotorolaMessage::kHb;
         else if (v == "ea") o.message = MotorolaMessage::kEa;
         else return Invalid(n, v, "expected hb or ea");
         message_given = true;
         return Status::Ok();
       }},
      {"--interval", [](auto n, auto v, SimOptions& o, bool&, bool&) {
         Status status = SetSeconds(n, v, o.interval_ms);
         if (status.ok() && o.interval_ms > kMaxIntervalMs) {
           return Invalid(n, v, "at most 3600 seconds");
         }
         return status;
       }},
      {"--start", [](auto n, auto v, SimOptions& o, bool&, bool&) {
         o.start = ParseStartTime(v);
         if (!o.start) return Invalid(n, v, "expected \"YYYY-MM-DD HH:MM:SS\"");
         return Status::Ok();
       }},
      {"--status", [](auto n, auto v, SimOptions& o, bool&, bool&) {
         if (v != "A" && v != "V") return Invalid(n, v, "expected A or V");
         o.fix_valid = v == "A";
         return Status::Ok();
       }},
      {"--visible", [](auto n, auto v, SimOptions& o, bool&, bool&) {
         return SetInt(n, v, 0, kMaxSatellites, o.visible);
       }},
      {"--tracked", [](auto n, auto v, SimOptions& o, bool&, bool&) {
         return SetInt(n, v, 0, kMaxSatellites, o.tracked);
       }},
      {"--fraction", [](auto n, auto v, SimOptions& o, bool&, bool&) {
         return SetInt(n, v, 0, 3, o.fraction_digits);
       }},
      {"--log-writes", [](auto n, auto v, SimOptions& o, bool&, bool&) {
         if (v.empty()) return Invalid(n, v, "expected a file");
         o.write_log = std::string(v);
         return Status::Ok();
       }},
      {"--replay", [](auto n, auto v, SimOptions& o, bool&, bool&) {
         if (v.empty()) return Invalid(n, v, "expected a capture file");
         o.replay_file = std::string(v);
         return Status::Ok();
       }},
      {"--pace", [](auto n, auto v, SimOptions& o, bool&, bool&) {
         if (v == "sentence") o.pace = Pace::kSentence;
         else if (v == "bytes") o.pace = Pace::kBytes;
         else if (v == "lines") o.pace = Pace::kLines;
         else return Invalid(n, v, "expected sentence, bytes or lines");
         return Status::Ok();
       }},
      {"--per-sentence-ms", [](auto n, auto v, SimOptions& o, bool&, bool&) {
         std::int64_t ms = 0;
         Status status = SetRanged(n, v, 0, kMaxIntervalMs, ms);
         if (status.ok()) o.per_sentence_ms = ms;
         return status;
       }},
      {"--count", [](auto n, auto v, SimOptions& o, bool&, bool&) {
         std::int64_t count = 0;
         Status status = SetRanged(n, v, 1, INT64_MAX, count);
         if (status.ok()) o.count = count;
         return status;
       }},
      {"--duration", [](auto n, auto v, SimOptions& o, bool&, bool&) {
         std::int64_t ms = 0;
         Status status = SetSeconds(n, v, ms);
         if (status.ok()) o.duration_ms = ms;
         return status;
       }},
      {"--start-delay", [](auto n, auto v, SimOptions& o, bool&, bool&) {
         if (v == "0") {
           o.start_delay_ms = 0;
           return Status::Ok();
         }
         return SetSeconds(n, v, o.start_delay_ms);
       }},
      {"--delay-ms", [](auto n, auto v, SimOptions& o, bool&, bool&) {
         return SetRanged(n, v, 0, kMaxReceiverDelayMs, o.receiver_delay_ms);
       }},
      {"--corrupt", [](auto n, auto v, SimOptions& o, bool&, bool&) {
         if (v == "checksum") o.corrupt = Corruption::kChecksum;
         else if (v == "length") o.corrupt = Corruption::kLength;
         else if (v == "header") o.corrupt = Corruption::kHeader;
         else return Invalid(n, v, "expected checksum, length or header");
         return Status::Ok();
       }},
      {"--corrupt-every", [](auto n, auto v, SimOptions& o, bool&, bool&) {
         std::int64_t every = 0;
         Status status = SetRanged(n, v, 1, 1'000'000, every);
         if (status.ok()) o.corrupt_every = every;
         return status;
       }},
      {"--baud", [](auto n, auto v, SimOptions& o, bool& baud_given, bool&) {
         baud_given = true;
         return SetInt(n, v, 10, 4'000'000, o.baud);
       }},
  };
  return kOptions;
}

}  // namespace

Result<SimOptions> ParseOptions(std::span<const std::string_view> args) {
  SimOptions options;
  bool baud_given = false;
  bool message_given = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view name = args[i];
    std::optional<std::string_view> value;
    if (const std::size_t equals = name.find('='); name.starts_with("--") &&
                                                   equals != std::string_view::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
    }
    if (name == "--help" || name == "-h") {
      options.help = true;
      continue;
    }
    if (name == "--version") {
      options.version = true;
      continue;
    }
    if (name == "--quiet" || name == "-q") {
      options.quiet = true;
      continue;
    }
    if (name == "--rmc-last") {
      options.rmc_last = true;
      continue;
    }
    const auto found = ValueOptions().find(name);
    if (found == ValueOptions().end()) {
      return Status::Error(StatusCode::kInvalidArgument,
                           "unknown option '" + std::string(args[i]) + "'");
    }
    if (!value) {
      if (i + 1 >= args.size()) {
        return Status::Error(StatusCode::kInvalidArgument,
                             std::string(name) + " needs a value");
      }
      value = args[++i];
    }
    Status status = found->second(name, *value, options, baud_given, message_given);
    if (!status.ok()) return status;
  }
  if (options.tracked > options.visible) {
    return Status::Error(StatusCode::kInvalidArgument,
                         "--tracked " + std::to_string(options.tracked) +
                             " exceeds --visible " + std::to_string(options.visible));
  }
  if (options.corrupt_every && options.corrupt == Corruption::kNone) {
    return Status::Error(StatusCode::kInvalidArgument, "--corrupt-every needs --corrupt");
  }
  if (options.corrupt != Corruption::kNone && !options.replay_file.empty()) {
    return Status::Error(StatusCode::kInvalidArgument,
                         "--corrupt damages live messages only, not a --replay");
  }
  if (options.receiver_delay_ms != 0 && !options.replay_file.empty()) {
    return Status::Error(StatusCode::kInvalidArgument,
                         "--delay-ms delays live messages only, not a --replay");
  }
  if (options.rmc_last && options.corrupt != Corruption::kNone) {
    // The damage goes to the group's first sentence, which must be its RMC.
    return Status::Error(StatusCode::kInvalidArgument,
                         "--corrupt damages the group's first sentence: not with --rmc-last");
  }
  if (!options.write_log.empty() && !options.replay_file.empty()) {
    return Status::Error(StatusCode::kInvalidArgument,
                         "--log-writes logs live messages only, not a --replay");
  }
  if (!baud_given) options.baud = options.protocol == SimProtocol::kNmea ? 4800 : 9600;
  return options;
}

std::string HelpText() {
  return R"(Usage: gpstime-sim [OPTIONS]    (--option VALUE or --option=VALUE)

Stands in for a GPS receiver on a serial line: creates a pseudo-terminal,
links its device as DIR/COM<n> and sends receiver messages into it, live or
replayed from a capture. Bytes written to the port (receiver commands) are
printed in readable form and obeyed: interval commands change the message
interval (0 on a Motorola receiver: one message, then silence), GMT offset
commands shift the time of Motorola messages.

Port:
  --dir DIR          folder for the COM<n> link (default ".")
  --port N           COM port number 0..255 (default 2): the link is DIR/COM<N>.
                     An existing symlink there is replaced; any other file is
                     left alone and the simulator refuses to start.
Live messages:
  --protocol P       nmea | nmea9600 | m12 | oncore (default nmea). nmea sends a
                     GPRMC, GPGGA, GPGSA and GPGSV group per time message; m12
                     sends "@@Hb" messages, oncore "@@Ea" messages.
  --message M        hb | ea: the Motorola message to send, instead of the
                     protocol's own
  --interval S       seconds between time messages, e.g. 1 or 0.2 (default 1)
  --start "YYYY-MM-DD HH:MM:SS"
                     UTC time of the first message, advanced by the interval
                     per message. Default: the current UTC time (the first
                     message waits for the next whole second). Motorola
                     messages carry this time plus the last commanded GMT
                     offset (0 until one arrives). The clock is only read.
  --status A|V       GPRMC status: A valid fix, V no fix (default A)
  --visible N        satellites in view, 0..32 (default 8)
  --tracked N        satellites tracked (with a signal), 0..visible (default 6)
  --fraction D       digits after the seconds in NMEA times, 0..3 (default 3:
                     hhmmss.sss; 0: hhmmss)
  --rmc-last         NMEA: send each group as GPGGA, GPGSA, GPGSV..., GPRMC
                     (default: GPRMC first), as receivers do whose cycle
                     ends with the RMC
  --delay-ms N       a receiver late by N ms, 0..999 (default 0): the output
                     for each time message begins N ms after the instant it
                     stands for (the whole second, without --start)
Replay:
  --replay FILE      send FILE byte for byte instead of live messages; it ends
                     at the end of the file
  --pace P           sentence (default): one sentence (NMEA up to its line
                     feed, a Motorola message up to its CR LF) per interval;
                     bytes: a steady stream at the line rate of --baud.
                     With bytes, live messages are also sent at that rate,
                     and each byte reaches the port when its last bit would
                     be in on a real line: the first byte of a message one
                     character time (10 bits) after its output began.
                     lines: the same line rate, but each line (up to its
                     LF) reaches the port in one write when its last byte
                     would be in, as from an adapter that hands over whole
                     sentences.
  --per-sentence-ms MS
                     pause between replayed sentences, overriding --interval
Limits:
  --count N          stop after N time messages (live) or N sentences (replay)
  --duration S       stop S seconds after the start-up line
  --start-delay S    wait S seconds after the start-up line before the first
                     message (default 0); commands are read meanwhile
  --baud B           line rate for --pace bytes: at most B/10 bytes per second
                     (default 4800 for nmea, 9600 otherwise)
Damage:
  --corrupt KIND     send some time messages damaged (live messages only):
                     checksum  a wrong checksum byte (Motorola) or wrong
                               checksum digits (NMEA);
                     length    one byte short: the final LF is left out;
                     header    a wrong header letter, e.g. "@@Ha" for "@@Hb"
                               or "$GPRMD" for "$GPRMC", under a checksum
                               that fits it.
                     For NMEA the GPRMC of the group is damaged, the rest
                     of the group is sent intact.
  --corrupt-every N  damage every N-th time message, counted from 1
                     (default 1: every one)
Output:
  --quiet            print only the start-up line and errors
  --log-writes FILE  live messages: append one line per sentence end (per
                     Motorola message) to FILE, flushed at once:
                       <name> <UTC ms of the time message> <real-time ns>
                     e.g. "GPRMC 1767225600000 1767225600000412345": the
                     name (GPRMC, GPGGA, ..., @@Hb, @@Ea) and CLOCK_REALTIME
                     read just before the write() that handed its line feed
                     to the port. Readers measure their latency from it.
  --help             print this text
  --version          print the version

On start the simulator prints one line
  gpstime-sim: <pty device> linked as <dir>/COM<n>
and flushes it, so scripts can wait for it. It keeps its own handle on the
pty device open, so the port exists and buffers messages before the program
under test opens it, and that program closing the port is no hang-up for the
simulator. Output left unread for 2 seconds is discarded, as a line without a
listener loses it, so a program that opens the port late gets fresh messages;
a note says so once. After the last message of --count (or of a replayed
file) the simulator waits up to 5 seconds for the reader to take what is
still queued; --duration, SIGINT and SIGTERM end it at once. The link is
removed on every exit. Exit status: 0 done, 1 run-time failure, 2 bad options.
)";
}

}  // namespace orvik::tools

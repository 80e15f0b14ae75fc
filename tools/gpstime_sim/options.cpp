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
constexpr std::int64_t kMaxJitterMs = 500;

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
      {"--dir",
       [](auto, auto v, SimOptions& o, bool&, bool&) {
         if (v.empty()) return Invalid("--dir", v, "expected a folder");
         o.dir = std::string(v);
         return Status::Ok();
       }},
      {"--port",
       [](auto n, auto v, SimOptions& o, bool&, bool&) { return SetInt(n, v, 0, 255, o.port); }},
      {"--protocol",
       [](auto n, auto v, SimOptions& o, bool&, bool& message_given) {
         if (v == "nmea")
           o.protocol = SimProtocol::kNmea;
         else if (v == "nmea9600")
           o.protocol = SimProtocol::kNmea9600;
         else if (v == "m12")
           o.protocol = SimProtocol::kM12;
         else if (v == "oncore")
           o.protocol = SimProtocol::kOncore;
         else
           return Invalid(n, v, "expected nmea, nmea9600, m12 or oncore");
         if (!message_given) {
           o.message =
               o.protocol == SimProtocol::kOncore ? MotorolaMessage::kEa : MotorolaMessage::kHb;
         }
         return Status::Ok();
       }},
      {"--message",
       [](auto n, auto v, SimOptions& o, bool&, bool& message_given) {
         if (v == "hb")
           o.message = MotorolaMessage::kHb;
         else if (v == "ea")
           o.message = MotorolaMessage::kEa;
         else
           return Invalid(n, v, "expected hb or ea");
         message_given = true;
         return Status::Ok();
       }},
      {"--interval",
       [](auto n, auto v, SimOptions& o, bool&, bool&) {
         Status status = SetSeconds(n, v, o.interval_ms);
         if (status.ok() && o.interval_ms > kMaxIntervalMs) {
           return Invalid(n, v, "at most 3600 seconds");
         }
         return status;
       }},
      {"--start",
       [](auto n, auto v, SimOptions& o, bool&, bool&) {
         o.start = ParseStartTime(v);
         if (!o.start) return Invalid(n, v, "expected \"YYYY-MM-DD HH:MM:SS\"");
         return Status::Ok();
       }},
      {"--status",
       [](auto n, auto v, SimOptions& o, bool&, bool&) {
         if (v != "A" && v != "V") return Invalid(n, v, "expected A or V");
         o.fix_valid = v == "A";
         return Status::Ok();
       }},
      {"--visible", [](auto n, auto v, SimOptions& o, bool&,
                       bool&) { return SetInt(n, v, 0, kMaxSatellites, o.visible); }},
      {"--tracked", [](auto n, auto v, SimOptions& o, bool&,
                       bool&) { return SetInt(n, v, 0, kMaxSatellites, o.tracked); }},
      {"--fraction", [](auto n, auto v, SimOptions& o, bool&,
                        bool&) { return SetInt(n, v, 0, 3, o.fraction_digits); }},
      {"--log-writes",
       [](auto n, auto v, SimOptions& o, bool&, bool&) {
         if (v.empty()) return Invalid(n, v, "expected a file");
         o.write_log = std::string(v);
         return Status::Ok();
       }},
      {"--replay",
       [](auto n, auto v, SimOptions& o, bool&, bool&) {
         if (v.empty()) return Invalid(n, v, "expected a capture file");
         o.replay_file = std::string(v);
         return Status::Ok();
       }},
      {"--pace",
       [](auto n, auto v, SimOptions& o, bool&, bool&) {
         if (v == "sentence")
           o.pace = Pace::kSentence;
         else if (v == "bytes")
           o.pace = Pace::kBytes;
         else if (v == "lines")
           o.pace = Pace::kLines;
         else
           return Invalid(n, v, "expected sentence, bytes or lines");
         return Status::Ok();
       }},
      {"--per-sentence-ms",
       [](auto n, auto v, SimOptions& o, bool&, bool&) {
         std::int64_t ms = 0;
         Status status = SetRanged(n, v, 0, kMaxIntervalMs, ms);
         if (status.ok()) o.per_sentence_ms = ms;
         return status;
       }},
      {"--count",
       [](auto n, auto v, SimOptions& o, bool&, bool&) {
         std::int64_t count = 0;
         Status status = SetRanged(n, v, 1, INT64_MAX, count);
         if (status.ok()) o.count = count;
         return status;
       }},
      {"--duration",
       [](auto n, auto v, SimOptions& o, bool&, bool&) {
         std::int64_t ms = 0;
         Status status = SetSeconds(n, v, ms);
         if (status.ok()) o.duration_ms = ms;
         return status;
       }},
      {"--start-delay",
       [](auto n, auto v, SimOptions& o, bool&, bool&) {
         if (v == "0") {
           o.start_delay_ms = 0;
           return Status::Ok();
         }
         return SetSeconds(n, v, o.start_delay_ms);
       }},
      {"--delay-ms",
       [](auto n, auto v, SimOptions& o, bool&, bool&) {
         return SetRanged(n, v, 0, kMaxReceiverDelayMs, o.receiver_delay_ms);
       }},
      {"--jitter-ms", [](auto n, auto v, SimOptions& o, bool&,
                         bool&) { return SetRanged(n, v, 0, kMaxJitterMs, o.jitter_ms); }},
      {"--seed",
       [](auto n, auto v, SimOptions& o, bool&, bool&) {
         std::int64_t seed = 0;
         Status status = SetRanged(n, v, 0, INT64_MAX, seed);
         if (status.ok()) o.seed = static_cast<std::uint64_t>(seed);
         return status;
       }},
      {"--corrupt",
       [](auto n, auto v, SimOptions& o, bool&, bool&) {
         if (v == "checksum")
           o.corrupt = Corruption::kChecksum;
         else if (v == "length")
           o.corrupt = Corruption::kLength;
         else if (v == "header")
           o.corrupt = Corruption::kHeader;
         else
           return Invalid(n, v, "expected checksum, length or header");
         return Status::Ok();
       }},
      {"--corrupt-every",
       [](auto n, auto v, SimOptions& o, bool&, bool&) {
         std::int64_t every = 0;
         Status status = SetRanged(n, v, 1, 1'000'000, every);
         if (status.ok()) o.corrupt_every = every;
         return status;
       }},
      {"--baud",
       [](auto n, auto v, SimOptions& o, bool& baud_given, bool&) {
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
    if (const std::size_t equals = name.find('=');
        name.starts_with("--") && equals != std::string_view::npos) {
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
    if (name == "--ignore-offset-command") {
      options.ignore_offset_command = true;
      continue;
    }
    const auto found = ValueOptions().find(name);
    if (found == ValueOptions().end()) {
      return Status::Error(StatusCode::kInvalidArgument,
                           "unknown option '" + std::string(args[i]) + "'");
    }
    if (!value) {
      if (i + 1 >= args.size()) {
        return Status::Error(StatusCode::kInvalidArgument, std::string(name) + " needs a value");
      }
      value = args[++i];
    }
    Status status = found->second(name, *value, options, baud_given, message_given);
    if (!status.ok()) return status;
  }
  if (options.tracked > options.visible) {
    return Status::Error(StatusCode::kInvalidArgument,
                         "--tracked " + std::to_string(options.tracked) + " exceeds --visible " +
                             std::to_string(options.visible));
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
  if (options.jitter_ms != 0 && !options.replay_file.empty()) {
    return Status::Error(StatusCode::kInvalidArgument,
                         "--jitter-ms delays live messages only, not a --replay");
  }
  if (options.receiver_delay_ms + options.jitter_ms > kMaxReceiverDelayMs) {
    // Every message's output still begins within the second it stands for.
    return Status::Error(StatusCode::kInvalidArgument,
                         "--delay-ms " + std::to_string(options.receiver_delay_ms) +
                             " plus --jitter-ms " + std::to_string(options.jitter_ms) +
                             " exceeds " + std::to_string(kMaxReceiverDelayMs) + " ms");
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

}  // namespace orvik::tools

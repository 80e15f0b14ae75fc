#include "gpstime_sim/live_feed.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <utility>

#include "gpstime_sim/burst_jitter.h"
#include "gpstime_sim/corruption.h"
#include "gpstime_sim/motorola_source.h"
#include "gpstime_sim/nmea_source.h"
#include "gpstime_sim/sim_line.h"

namespace orvik::tools {
namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

constexpr int kMaxNmeaInterval = 900;
// How long a silent Motorola receiver sleeps between looks at the line.
constexpr milliseconds kSilentStep{200};
// How long the end of a run waits for the reader to take the queued bytes.
constexpr milliseconds kDrainLimit{5000};

const char* MessageName(MotorolaMessage message) {
  return message == MotorolaMessage::kHb ? "@@Hb" : "@@Ea";
}

std::string OffsetText(int offset_minutes) {
  const int magnitude = std::abs(offset_minutes);
  char text[32];
  std::snprintf(text, sizeof text, "%c%d:%02d", offset_minutes < 0 ? '-' : '+', magnitude / 60,
                magnitude % 60);
  return text;
}

// " (first byte 0.052 ms late)": how late the paced output's first byte was.
std::string LatenessText(SimLine::Clock::duration lateness) {
  char text[48];
  std::snprintf(text, sizeof text, " (first byte %.3f ms late)",
                std::chrono::duration<double, std::milli>(lateness).count());
  return text;
}

// " (jitter 12.345 ms)": how much later than scheduled this message began.
std::string JitterText(microseconds jitter) {
  char text[40];
  std::snprintf(text, sizeof text, " (jitter %.3f ms)",
                std::chrono::duration<double, std::milli>(jitter).count());
  return text;
}

// Writes the answers that `state` owes at UTC `utc`, each at once (with byte
// pacing, when the line is free), and prints each; clears them. Returns false
// on a stop request or a write error.
bool SendAnswers(ReceiverState& state, SimLine& line, UnixMillis utc) {
  // Commands read while an answer is written are answered on the next call.
  const std::vector<CommandKind> due = std::exchange(state.answers_due, {});
  for (const CommandKind kind : due) {
    const std::vector<std::uint8_t> answer = BuildOffsetAnswer(state, kind, utc);
    if (answer.empty()) continue;
    if (!line.Write(answer)) return false;
    // Described as the parser reads it, so the printed values are those sent.
    CommandParser parser;
    for (const ReceiverCommand& sent : parser.Push(answer)) {
      std::string text = DescribeCommand(sent);
      constexpr std::string_view kPrefix = "command: ";
      if (text.starts_with(kPrefix)) text.erase(0, kPrefix.size());
      line.Note("answered: " + text);
    }
  }
  return true;
}

}  // namespace

ReceiverState Obey(const ReceiverState& state, const ReceiverCommand& command, std::string& note) {
  note.clear();
  ReceiverState next = state;
  const bool for_nmea = command.kind == CommandKind::kNmeaInterval;
  const bool for_motorola =
      command.kind == CommandKind::kGmtOffsetGb || command.kind == CommandKind::kGmtOffsetAb ||
      command.kind == CommandKind::kIntervalHb || command.kind == CommandKind::kIntervalEa;
  if (!for_nmea && !for_motorola) return next;
  if (!command.checksum_ok) {
    note = "  ignored: bad checksum";
    return next;
  }
  if (for_nmea != state.nmea) {
    note = state.nmea ? "  ignored: an NMEA receiver takes no Motorola commands"
                      : "  ignored: a Motorola receiver takes no NMEA commands";
    return next;
  }
  switch (command.kind) {
    case CommandKind::kNmeaInterval:
      if (command.interval < 1 || command.interval > kMaxNmeaInterval) {
        note = "  ignored: the interval must be 1.." + std::to_string(kMaxNmeaInterval);
        return next;
      }
      next.interval_ms = command.interval * 1000LL;
      note = "  obeyed: a group every " + std::to_string(command.interval) + " s";
      return next;
    case CommandKind::kIntervalHb:
    case CommandKind::kIntervalEa:
      next.message =
          command.kind == CommandKind::kIntervalHb ? MotorolaMessage::kHb : MotorolaMessage::kEa;
      next.silent = false;
      next.polled_once = command.interval == 0;
      if (command.interval == 0) {
        note = std::string("  obeyed: one ") + MessageName(next.message) + " message now";
      } else {
        next.interval_ms = command.interval * 1000LL;
        note = std::string("  obeyed: ") + MessageName(next.message) + " every " +
               std::to_string(command.interval) + " s";
      }
      return next;
    default:
      if (state.ignores_offset_commands) {
        note = "  ignored: this receiver neither applies nor answers GMT offset commands";
        return next;
      }
      next.offset_minutes = command.offset_minutes;
      next.answers_due.push_back(command.kind);
      note = "  obeyed: Motorola times are now UTC" + OffsetText(command.offset_minutes);
      return next;
  }
}

std::vector<std::uint8_t> BuildOffsetAnswer(const ReceiverState& state, CommandKind kind,
                                            UnixMillis utc) {
  if (kind == CommandKind::kGmtOffsetAb) return BuildAb(state.offset_minutes);
  if (kind != CommandKind::kGmtOffsetGb) return {};
  const UnixMillis whole_second = utc - ((utc % 1000) + 1000) % 1000;
  return BuildGb(DateTimeFromUnixMillis(whole_second + state.offset_minutes * 60'000LL),
                 state.offset_minutes);
}

std::vector<std::uint8_t> BuildReceiverOutput(const ReceiverState& state, const SimOptions& options,
                                              UnixMillis utc) {
  if (state.nmea) {
    const NmeaFix fix{DateTimeFromUnixMillis(utc), options.fix_valid, options.visible,
                      options.tracked, options.fraction_digits};
    const std::string group =
        BuildNmeaGroup(fix, options.rmc_last ? RmcPlace::kLast : RmcPlace::kFirst);
    return std::vector<std::uint8_t>(group.begin(), group.end());
  }
  const MotorolaFix fix{DateTimeFromUnixMillis(utc + state.offset_minutes * 60'000LL),
                        options.visible, options.tracked};
  return state.message == MotorolaMessage::kHb ? BuildHb(fix) : BuildEa(fix);
}

std::string DescribeReceiverOutput(const ReceiverState& state, const SimOptions& options,
                                   UnixMillis utc) {
  if (state.nmea) {
    const NmeaFix fix{DateTimeFromUnixMillis(utc), options.fix_valid, options.visible,
                      options.tracked, options.fraction_digits};
    std::string rmc = BuildRmc(fix);
    return "sent: " + rmc.substr(0, rmc.size() - 2) + " +GGA,GSA," +
           std::to_string(BuildGsv(fix).size()) + "xGSV";
  }
  const core::DateTime t = DateTimeFromUnixMillis(utc + state.offset_minutes * 60'000LL);
  char text[96];
  std::snprintf(text, sizeof text, "sent: %s %04d-%02d-%02d %02d:%02d:%02d visible %d tracked %d",
                MessageName(state.message), t.year, t.month, t.day, t.hour, t.minute, t.second,
                options.visible, options.tracked);
  return text;
}

std::string WriteLogLines(std::span<const std::uint8_t> output, bool nmea,
                          const std::string& motorola_name, UnixMillis utc,
                          std::span<const std::int64_t> line_end_stamps) {
  std::string lines;
  const auto add = [&lines, utc](std::string_view name, std::int64_t stamp) {
    lines.append(name).append(" ").append(std::to_string(utc)).append(" ");
    lines.append(std::to_string(stamp)).append("\n");
  };
  if (!nmea) {
    // Binary data may hold LF bytes too: only the message's end is named.
    const auto lfs = std::count(output.begin(), output.end(), '\n');
    if (lfs > 0 && static_cast<std::size_t>(lfs) == line_end_stamps.size()) {
      add(motorola_name, line_end_stamps.back());
    }
    return lines;
  }
  std::size_t sentence_start = output.size();  // index of the latest "$"
  std::size_t stamp = 0;
  for (std::size_t i = 0; i < output.size() && stamp < line_end_stamps.size(); ++i) {
    if (output[i] == '$') sentence_start = i;
    if (output[i] != '\n') continue;
    std::string name = "?";
    if (sentence_start + 6 <= output.size()) {
      name.assign(reinterpret_cast<const char*>(output.data()) + sentence_start + 1, 5);
    }
    add(name, line_end_stamps[stamp++]);
  }
  return lines;
}

// How long after a message's last write its --log-writes lines are written.
constexpr milliseconds kWriteLogDelay{30};

std::int64_t RunLiveFeed(const SimOptions& options, SimLine& line, std::FILE* write_log) {
  using Clock = SimLine::Clock;
  ReceiverState state;
  state.nmea = options.IsNmea();
  state.message = options.message;
  state.interval_ms = options.interval_ms;
  state.ignores_offset_commands = options.ignore_offset_command;

  const auto end_at = options.duration_ms ? Clock::now() + milliseconds(*options.duration_ms)
                                          : Clock::time_point::max();
  // The simulated UTC of a message is utc0 plus the time elapsed since mono0
  // at its scheduled moment; the first is due after --start-delay. Without
  // --start it then waits for the next whole second, as a receiver's output
  // does, and mono0 is that second on the steady clock: both clocks are read
  // together to the nanosecond, so the messages leave at the real whole
  // seconds (the two clocks are slewed alike; only a step of the system
  // clock would part them). A message's output begins --delay-ms and its
  // --jitter-ms draw after its scheduled moment. Commands are obeyed during the delays too: the
  // loop below waits.
  Clock::time_point mono0 = Clock::now() + milliseconds(options.start_delay_ms);
  UnixMillis utc0 = 0;
  if (options.start) {
    utc0 = *options.start;
  } else {
    constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
    const Clock::time_point steady_now = Clock::now();
    const std::int64_t utc_ns = ReadUtcNowNanos();
    const std::int64_t earliest_ns = utc_ns + options.start_delay_ms * 1'000'000;
    const std::int64_t first_ns =
        (earliest_ns + kNanosPerSecond - 1) / kNanosPerSecond * kNanosPerSecond;
    utc0 = first_ns / 1'000'000;
    mono0 = steady_now + std::chrono::nanoseconds(first_ns - utc_ns);
  }
  const milliseconds receiver_delay(options.receiver_delay_ms);
  BurstJitter jitter(options.jitter_ms, options.seed);
  // How late the next message's output begins: the receiver delay plus its
  // own jitter draw, which stays with it when a command moves the message.
  microseconds jitter_of_next = jitter.Next();
  const auto lateness = [&] { return receiver_delay + jitter_of_next; };
  const auto interval = [&state] { return milliseconds(state.interval_ms); };
  const auto utc_at = [&](Clock::time_point moment) {
    return utc0 + std::chrono::duration_cast<milliseconds>(moment - mono0).count();
  };
  Clock::time_point next = mono0;
  std::optional<Clock::time_point> last_sent;
  std::int64_t sent = 0;
  bool ended_early = false;  // --duration, a stop request or a write error
  // The handler refers to this frame's state; it is removed before returning.
  line.SetCommandHandler([&](const ReceiverCommand& command) {
    std::string note;
    const ReceiverState before = state;
    state = Obey(state, command, note);
    if (!note.empty()) line.Note(note);
    if (state.polled_once) {
      next = Clock::now();
    } else if (state.interval_ms != before.interval_ms || before.silent != state.silent) {
      next = std::max(Clock::now(), last_sent ? *last_sent + interval() : next);
    }
  });
  const auto answer_due = [&state] { return !state.answers_due.empty(); };
  while (!options.count || sent < *options.count) {
    const auto deadline =
        std::min(end_at, state.silent ? Clock::now() + kSilentStep : next + lateness());
    if (!line.WaitUntil(deadline, answer_due)) {
      ended_early = true;
      break;
    }
    if (Clock::now() >= end_at) {
      ended_early = true;
      break;
    }
    // Answers go out at once, between time messages: a command read while a
    // message was being written is answered after it.
    if (answer_due()) {
      if (!SendAnswers(state, line, utc_at(Clock::now()))) {
        ended_early = true;
        break;
      }
      continue;
    }
    // A command read meanwhile may have silenced the receiver or moved `next`.
    if (state.silent || Clock::now() < next + lateness()) continue;
    const UnixMillis utc = utc_at(next);
    const bool damaged = IsDamaged(options, sent + 1);
    std::vector<std::uint8_t> output = BuildReceiverOutput(state, options, utc);
    if (damaged) output = Damage(std::move(output), options.corrupt, state.nmea);
    // Described now: a command obeyed during the write changes the state.
    const std::string description = DescribeReceiverOutput(state, options, utc);
    std::vector<std::int64_t> line_end_stamps;
    const bool written =
        line.Write(output, next + lateness(), write_log ? &line_end_stamps : nullptr);
    if (write_log != nullptr) {
      // The stamps are logged a moment later: a simulator still busy on its
      // CPU right after the line feed would hold back the kernel work that
      // hands that line feed to the reader being measured.
      const auto log_at =
          std::min({end_at, Clock::now() + kWriteLogDelay, next + interval() + receiver_delay});
      if (written && !line.WaitUntil(log_at)) ended_early = true;
      const std::string lines =
          WriteLogLines(output, state.nmea, MessageName(state.message), utc, line_end_stamps);
      std::fputs(lines.c_str(), write_log);
      std::fflush(write_log);
    }
    if (!written) {
      ended_early = true;
      break;
    }
    ++sent;
    if (ended_early) break;  // stopped while the log waited
    line.Note(description +
              (options.pace != Pace::kSentence ? LatenessText(line.first_byte_lateness()) : "") +
              (options.jitter_ms > 0 ? JitterText(jitter_of_next) : "") +
              (damaged ? " (damaged: " + CorruptionName(options.corrupt) + ")" : ""));
    last_sent = next;
    next += interval();
    jitter_of_next = jitter.Next();
    // After a long blocked write, skip the moments already a whole interval
    // past rather than send a burst of them; the rest stay on their seconds.
    while (next + lateness() + interval() <= Clock::now()) next += interval();
    if (state.polled_once) {
      state.polled_once = false;
      state.silent = true;
    }
  }
  if (!ended_early) line.Drain(kDrainLimit);
  line.SetCommandHandler(nullptr);
  return sent;
}

}  // namespace orvik::tools

// LiveFeed: sends live time messages (an NMEA group or a Motorola "Hb"/"Ea"
// message) at the chosen interval, each --delay-ms plus a --jitter-ms draw
// after its instant, and obeys the receiver commands read in between:
// interval commands set the interval (and, for Motorola, the message kind; 0
// there means one message, then silence), GMT offset commands shift the time
// of Motorola messages and are answered. Main thread only.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "gpstime_sim/command_printer.h"
#include "gpstime_sim/options.h"
#include "gpstime_sim/sim_time.h"

namespace orvik::tools {

class SimLine;

// What the simulated receiver currently does; changed by obeyed commands.
struct ReceiverState {
  bool nmea = true;
  MotorolaMessage message = MotorolaMessage::kHb;
  std::int64_t interval_ms = 1000;
  bool polled_once = false;              // Motorola interval 0: one message is due, then silence
  bool silent = false;                   // after that message, until the next interval command
  int offset_minutes = 0;                // added to UTC in Motorola messages
  bool ignores_offset_commands = false;  // neither applies nor answers them
  // Kinds of the GMT offset commands obeyed and not answered yet, oldest
  // first: each is answered between two time messages, before the next one.
  std::vector<CommandKind> answers_due;
};

// Returns the state after `command`, and in `note` what was done with it.
// Pure: any thread.
ReceiverState Obey(const ReceiverState& state, const ReceiverCommand& command, std::string& note);

// Returns the answer to an obeyed GMT offset command of `kind` at UTC `utc`:
// for kGmtOffsetGb the "@@Gb" message with the receiver's own date and time
// (UTC plus its offset, in whole seconds) and the offset it applies; for
// kGmtOffsetAb the "@@Ab" message with that offset; nothing for other kinds.
std::vector<std::uint8_t> BuildOffsetAnswer(const ReceiverState& state, CommandKind kind,
                                            UnixMillis utc);

// Returns the bytes of one time message for `state` at UTC `utc`.
std::vector<std::uint8_t> BuildReceiverOutput(const ReceiverState& state, const SimOptions& options,
                                              UnixMillis utc);

// Returns the line printed after sending a time message at UTC `utc`.
std::string DescribeReceiverOutput(const ReceiverState& state, const SimOptions& options,
                                   UnixMillis utc);

// Returns the --log-writes lines for one time message written as `output`,
// one per NMEA sentence end, or one for a Motorola message (its last LF):
// "<name> <utc ms> <stamp ns>\n", where `line_end_stamps` holds the stamp of
// each LF of `output` in order (SimLine::Write). LFs without a stamp (a write
// cut short) get no line.
std::string WriteLogLines(std::span<const std::uint8_t> output, bool nmea,
                          const std::string& motorola_name, UnixMillis utc,
                          std::span<const std::int64_t> line_end_stamps);

// Sends time messages until --count, --duration or a stop request, every
// message that --corrupt-every picks damaged as --corrupt says. After the
// --count-th, waits up to 5 s for the reader to take what is still queued.
// With `write_log`, writes WriteLogLines for each message to it, flushed.
// Returns the number of time messages sent.
std::int64_t RunLiveFeed(const SimOptions& options, SimLine& line, std::FILE* write_log = nullptr);

}  // namespace orvik::tools

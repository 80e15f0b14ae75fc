// Recognises the commands a program writes to the simulated receiver and
// turns each into one readable line. CommandParser frames a byte stream that
// may arrive in any pieces: NMEA sentences ("$" .. LF), Motorola messages
// ("@@", two letters, then a length known per command or up to CR LF) and
// runs of other bytes. One object per stream; not for concurrent use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/date_time.h"

namespace orvik::tools {

enum class CommandKind {
  kNmeaInterval,   // "$PGRMC1,<interval>,..."
  kOtherNmea,      // any other "$" sentence
  kGmtOffsetGb,    // "@@Gb": date, time and GMT offset (17 bytes)
  kGmtOffsetAb,    // "@@Ab": GMT offset (10 bytes)
  kIntervalHb,     // "@@Hb" with one interval byte (8 bytes)
  kIntervalEa,     // "@@Ea" with one interval byte (8 bytes)
  kOtherMotorola,  // "@@" and two letters, up to CR LF
  kUnknownBytes,   // bytes that start no command
};

struct ReceiverCommand {
  CommandKind kind = CommandKind::kUnknownBytes;
  std::vector<std::uint8_t> bytes;  // exactly as received
  bool checksum_ok = false;
  bool terminator_ok = false;  // ends in CR LF
  int interval = -1;           // interval commands; -1 when the field is no number
  int offset_minutes = 0;      // GMT offset commands, signed
  core::DateTime date_time;    // "@@Gb" only: the time it carries
};

class CommandParser {
 public:
  // Adds bytes and returns every command they complete, in order. Bytes of
  // an incomplete command, and stray bytes not yet followed by the start of
  // a command ("$" or "@"), stay pending.
  std::vector<ReceiverCommand> Push(std::span<const std::uint8_t> bytes);

  // Returns the pending bytes (an incomplete command) as one kUnknownBytes
  // command, or nothing when none are pending; clears them.
  std::vector<ReceiverCommand> Flush();

  bool has_pending() const { return !pending_.empty(); }

 private:
  // Takes one command off the front of pending_; false when more bytes are needed.
  bool TakeOne(std::vector<ReceiverCommand>& out);

  std::vector<std::uint8_t> pending_;
};

// Returns the line printed for `command`, e.g.
// "command: @@Gb 2026-12-07 13:05:00 GMT offset +2:00 (17 bytes, checksum ok)".
std::string DescribeCommand(const ReceiverCommand& command);

// Returns `bytes` as text: a final LF or CR LF dropped, printable ASCII
// kept, every other byte as "\xHH".
std::string PrintableText(std::span<const std::uint8_t> bytes);

}  // namespace orvik::tools

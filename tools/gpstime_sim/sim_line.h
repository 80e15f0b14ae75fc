// SimLine: the simulator's end of the serial line. It writes messages into
// the pty master without ever blocking for good, paces them at the line rate
// when asked, and between writes reads what the program sends, printing each
// command and handing it to the caller's handler (which may obey it). Every wait is a poll() that
// also ends on a stop request. Main thread only.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "gpstime_sim/command_printer.h"

namespace orvik::tools {

class PtyPort;
class StopSignal;

struct LineConfig {
  bool byte_pacing = false;  // bytes reach the reader at the line rate, see Write()
  bool whole_lines = false;  // with byte pacing: each line in one write at its LF's time
  int baud = 4800;           // 8N1: ten bits per byte
  bool quiet = false;        // print nothing but errors
};

class SimLine {
 public:
  using Clock = std::chrono::steady_clock;

  // Bytes left unread this long are stale: nobody reads the port.
  static constexpr std::chrono::milliseconds kReaderAbsentLimit{2000};
  // Pending bytes of an incomplete command are printed after this quiet time.
  static constexpr std::chrono::milliseconds kCommandQuietTime{1000};

  // `port` and `stop` must outlive the line.
  SimLine(const PtyPort& port, const StopSignal& stop, LineConfig config);

  // Waits until `deadline`, reading and printing commands meanwhile.
  // Returns false when a stop was requested.
  bool WaitUntil(Clock::time_point deadline);
  // The same, but returns (true) early as soon as `done()` holds, which is
  // asked before the first wait and after every command read.
  bool WaitUntil(Clock::time_point deadline, const std::function<bool()>& done);

  // Writes every byte. With byte pacing, the transmission begins at
  // `begin_at` (now when not given), or when the previous one has ended if
  // that is later, and each byte reaches the port when its stop bit would be
  // in on a real line: byte k at begin + (k + 1) character times, each in a
  // write of its own unless the simulator woke late; never early. With
  // whole lines, each line up to its LF is written at once when its LF is due.
  // Bytes that have waited kReaderAbsentLimit for a reader are discarded
  // first, as a serial line without a listener loses them; a note says so
  // once per absence. With `line_end_stamps`, appends for every LF of
  // `bytes`, in order, the CLOCK_REALTIME nanoseconds read just before the
  // write() that handed it to the port. Returns false on a stop request or a
  // write error (printed).
  bool Write(std::span<const std::uint8_t> bytes,
             std::optional<Clock::time_point> begin_at = std::nullopt,
             std::vector<std::int64_t>* line_end_stamps = nullptr);
  bool Write(const std::string& text);

  // With byte pacing: how long after a real line would have delivered it the
  // first byte (with whole lines: the first line) of the latest Write() was
  // in the port (the busier the machine, the later).
  Clock::duration first_byte_lateness() const { return first_byte_lateness_; }

  // Waits up to `limit` until the reader has taken every queued byte.
  // Returns false when a stop was requested.
  bool Drain(std::chrono::milliseconds limit);

  // Sets what runs for each command read, right after it is printed, e.g.
  // to obey it. Without one, commands are only printed.
  using CommandHandler = std::function<void(const ReceiverCommand&)>;
  void SetCommandHandler(CommandHandler handler) { handler_ = std::move(handler); }

  // Prints the bytes of a command still incomplete, if any.
  void FlushCommands();

  // Prints `line` and a new line to stdout unless quiet; flushes.
  void Note(const std::string& line) const;

 private:
  // One poll for `timeout` on the master (in, and out when `want_write`) and
  // the stop pipe; reads and prints commands. Returns false on a stop request.
  bool PollOnce(std::chrono::nanoseconds timeout, bool want_write);
  // Hands bytes [done, end) to the reader in as many writes as the pty takes.
  // Returns false on a stop request or a write error (printed).
  // Stamps the LFs it writes into `stamps` when that is given.
  bool WriteRange(std::span<const std::uint8_t> bytes, std::size_t& done, std::size_t end,
                  std::vector<std::int64_t>* stamps);
  void ReadCommands();
  // Discards unread bytes once they have waited kReaderAbsentLimit.
  void DiscardStale();
  void Handle(const std::vector<ReceiverCommand>& commands);

  const PtyPort& port_;
  const StopSignal& stop_;
  LineConfig config_;
  CommandParser parser_;
  CommandHandler handler_;
  Clock::time_point last_command_byte_ = Clock::now();
  Clock::time_point line_free_at_ = Clock::now();  // byte pacing: when the line is idle
  Clock::duration first_byte_lateness_{};
  std::optional<Clock::time_point> queued_since_;  // unread bytes seen since then
  bool reader_absent_ = false;                     // noted; cleared when a reader is back
  std::size_t written_since_discard_ = 0;
};

}  // namespace orvik::tools

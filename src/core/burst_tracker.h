// BurstTracker: when did the receiver's output for the current second begin?
//
// A receiver sends the messages of each second as one burst of bytes that
// starts at (or a fixed delay after) the second it names, followed by a
// silence. The start of that burst is the best reference for the second; the
// time a message is decoded is not (at 4800 baud an RMC alone takes about
// 150 ms on the line). The serial link tells this tracker about every chunk
// it reads from the line, and the tracker keeps the start of the burst the
// latest chunk belongs to.
//
// The rules, on the monotonic clock:
//   * A chunk of n bytes read at t is taken to have arrived at line rate, its
//     last byte just before t: its first byte completed at t - (n-1) * char.
//     Bytes never come faster than the line rate, so this is never earlier
//     than the truth; a reader that was late only makes it later.
//   * A chunk read after the link waited for the line ("prompt") whose first
//     byte came at least `silence` after the previous chunk's last byte
//     starts a burst. The burst began one character time before its first
//     byte completed (a character is 10 bits at the line rate).
//   * A chunk that was already waiting when the link read it arrived at an
//     unknown time since the previous read. If that span is too short to
//     hide a silence, the chunk continues the current burst; otherwise the
//     burst start becomes unknown until a prompt burst start is seen again.
//   * A prompt chunk longer than kMaxPromptChunk bytes cannot have been read
//     promptly (the program was stalled while the line filled): the burst
//     start becomes unknown likewise.
// An unknown burst start means "read from a backlog": such messages are
// shown and sent, but never set the clock.
//
// Every burst, and every stretch of unknown start, gets a number of its own,
// so the user of the timing can tell whether two messages came in one burst.
// The tracker also keeps since when the line has surely carried no silence:
// a receiver whose output never pauses cannot be timed, and says so.
//
// Pure; used by one thread (the one that reads the link).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/utc_time.h"

namespace orvik::core {

// How a message's bytes reached the program: the reference the clock is
// set from, and when the last byte was read.
struct ByteTiming {
  // The instant the burst holding the byte began on the line; nullopt when
  // the burst's start was not seen as it happened.
  std::optional<MonotonicNanos> burst_start;
  // When the chunk holding the byte was read from the line.
  MonotonicNanos arrival = 0;
  // The number of the burst (or stretch of unknown start) holding the byte.
  std::uint64_t burst = 0;
  // Since this instant no silence can have passed on the line: the bytes
  // came one after another. `arrival - unbroken_since` is how long the line
  // has surely not paused.
  MonotonicNanos unbroken_since = 0;

  friend bool operator==(const ByteTiming&, const ByteTiming&) = default;
};

// One character on an 8N1 line: 10 bits at `baud` bits per second.
std::int64_t CharacterNanos(std::uint32_t baud);

class BurstTracker {
 public:
  // The largest chunk taken as read promptly: a USB serial adapter hands
  // over at most 64 bytes at a time.
  static constexpr std::size_t kMaxPromptChunk = 64;

  // `character` is CharacterNanos of the line.
  explicit BurstTracker(std::int64_t character);

  // The line was opened at `at`: nothing before is known, and the next chunk
  // starts a burst only after a silence. (A purge is no restart: the link
  // reports what it discards as a chunk, so a silence stays a silence.)
  void Restart(MonotonicNanos at);
  // A chunk of `count` bytes was read at `at`; `prompt` when the link had to
  // wait for it (the line was seen empty just before).
  void OnChunk(std::size_t count, MonotonicNanos at, bool prompt);

  // Timing of the bytes of the latest chunk.
  ByteTiming Latest() const { return latest_; }

  // The gap that separates two bursts: 12 characters, at least 25 ms.
  std::int64_t SilenceNanos() const { return silence_; }

 private:
  // A new burst (or stretch of unknown start) begins.
  void NewBurst(std::optional<MonotonicNanos> start, MonotonicNanos unbroken_since);

  std::int64_t character_;
  std::int64_t silence_;
  // Arrival of the latest byte read (or the time the queues were emptied).
  MonotonicNanos last_arrival_ = 0;
  ByteTiming latest_;
};

}  // namespace orvik::core

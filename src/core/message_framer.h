// MessageFramer: cuts the receiver's byte stream into messages, one receive
// step at a time, without doing any I/O itself. The receive loop asks it
// what to do, performs that on the line, and reports how each read ended:
//
//   FramerAction action = framer.Begin();
//   while (action.kind == FramerAction::Kind::kRead)
//     action = framer.OnRead(<read exactly action.read_into.size() bytes into it>);
//   then: decode action.message / start the next step / purge / pause, purge;
//   after a purge: framer.AfterPurge(<the last input bytes the purge discarded>).
//
// Bytes already taken from the line that begin the next message (a "$" that
// ended an NMEA sentence, an "@@" found inside a Motorola message that could
// not be complete) are carried to the next step, which starts from them: a
// read the carried bytes satisfy is never asked of the loop.
//
// No received byte that may start a message is thrown away. A read that
// times out inside a message (a receiver that cut its output short, a line
// that lost a CR LF, bytes that came in clumps or late) keeps the message
// read so far and asks for a purge; what the purge discards is handed back
// with AfterPurge, and everything from the last place a message may start
// (NMEA "$", Motorola "@@") is kept and framed from in the next step: a cut
// tail is dropped as soon as the next message begins, and a message merely
// late is completed. A read that times out with nothing at all at the start
// of a step asks for no purge: the line was silent, and whatever comes next
// is new. Restart() drops the carried bytes for a port opened anew.
//
// Pure; used by one thread (the one that reads the line).
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>

namespace orvik::core {

// How a read the framer asked for ended.
enum class ReadEnd {
  kComplete,    // every byte asked for arrived
  kTimedOut,    // the port's time-outs ended it with fewer, maybe none
  kPortClosed,  // the port is not open (closed, hung up, never opened)
};

struct ReadResult {
  std::size_t count = 0;  // bytes stored at the front of the span asked for
  ReadEnd end = ReadEnd::kComplete;
};

struct FramerAction {
  enum class Kind {
    kRead,            // read exactly read_into.size() bytes into read_into
    kDecode,          // decode `message`; the step is over
    kNextStep,        // the step is over with nothing to decode
    kPurge,           // purge the line, then AfterPurge; the step is over
    kPauseThenPurge,  // pause kUnknownMessagePause, then purge and AfterPurge
  };
  Kind kind = Kind::kNextStep;
  std::span<std::uint8_t> read_into;
  // Valid until the next call on the framer.
  std::span<const std::uint8_t> message;
};

// The pause before the purge that follows a message no decoder takes.
inline constexpr std::chrono::milliseconds kUnknownMessagePause{10};

class MessageFramer {
 public:
  // The most bytes ever carried from one step to the next: a whole NMEA step
  // ("$", address, 255 body bytes, trailer) with room to spare. The loop
  // hands AfterPurge at most this many of the bytes a purge discarded.
  static constexpr std::size_t kMaxCarried = 272;

  virtual ~MessageFramer() = default;

  // A receive step begins: the first thing to do.
  FramerAction Begin();
  // The read asked for by the last action ended with `result`.
  FramerAction OnRead(ReadResult result);
  // The loop purged the line after an action that asked for it; `discarded`
  // holds the last input bytes the purge threw away, in line order. Keeps
  // what is carried and `discarded` from the last place in them where a
  // message may start; drops the rest.
  void AfterPurge(std::span<const std::uint8_t> discarded);
  // A port opened anew: carried bytes are not the start of anything.
  void Restart() { carried_length_ = 0; }

 protected:
  // The first action of a step.
  virtual FramerAction StartStep() = 0;
  // The part asked for with Fill() is done: `count` bytes of it are stored
  // (carried ones included), and the read of the rest ended with `end`.
  virtual FramerAction Filled(std::size_t count, ReadEnd end) = 0;
  // The last index in `bytes` where a message of this protocol may start, or
  // bytes.size() when none may.
  virtual std::size_t LastMessageStart(std::span<const std::uint8_t> bytes) const = 0;

  // Fills `into`, carried bytes first; asks the loop for the rest, if any.
  FramerAction Fill(std::span<std::uint8_t> into);
  // Keeps `bytes`, already read, as the start of the next message (before
  // any bytes still carried, which came after them on the line).
  void Carry(std::span<const std::uint8_t> bytes);
  // Ends the step in a purge, which takes the carried bytes along.
  FramerAction Purge(FramerAction::Kind kind = FramerAction::Kind::kPurge);
  // Ends the step in a purge that keeps `partial`, the message read so far
  // (it came before anything still carried), to be completed or dropped
  // from AfterPurge on.
  FramerAction PurgeKeeping(std::span<const std::uint8_t> partial);

  static FramerAction NextStep() { return {}; }
  static FramerAction Decode(std::span<const std::uint8_t> message) {
    return {FramerAction::Kind::kDecode, {}, message};
  }

 private:
  std::array<std::uint8_t, kMaxCarried> carried_{};
  std::size_t carried_length_ = 0;
  // Of the part being filled: bytes taken from the carried ones.
  std::size_t taken_ = 0;
};

}  // namespace orvik::core

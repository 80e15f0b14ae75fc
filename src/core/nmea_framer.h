// NmeaFramer: frames NMEA 0183 sentences: "$", a five-character address, the
// body up to and including "*", two checksum characters, CR and LF. A framed
// sentence is handed over from its address through LF, without the "$".
// Bytes before a "$" are skipped one per step.
//
// A "$" always starts a new sentence, wherever it comes: receivers glue
// sentences together ("...*6A$GPRMC,...") and double the dollar
// ("$$GPRMC,..."). A "$" in the address, in the body or in place of a
// checksum character ends a sentence that is not complete: it is dropped.
// A "$" in place of CR or LF ends a complete sentence: it is decoded as if
// CR LF had come, and so is a sentence ended by LF alone (as some converters
// and logs write it). Either way the step ends there and the next one starts
// from that "$", so a step still reads at most 6 + 255 + 4 bytes.
//
// A body without "*" among its first 255 bytes is not a sentence: purged.
// A read that times out before the checksum is complete keeps the sentence
// so far through the purge (see MessageFramer): the next "$" drops it, the
// rest of a late sentence completes it. A read that times out after the two
// checksum characters decodes the sentence as if CR LF had come: a noisy
// line loses a CR LF now and then, and the checksum already vouches for it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/message_framer.h"

namespace orvik::core {

class NmeaFramer : public MessageFramer {
 public:
  static constexpr std::size_t kAddressLength = 5;
  static constexpr std::size_t kMaxBodyBeforeStar = 255;
  // Checksum, CR and LF after the "*".
  static constexpr std::size_t kTrailerLength = 4;

 private:
  enum class Stage { kDollar, kAddress, kBody, kTrailer };

  FramerAction StartStep() override;
  FramerAction Filled(std::size_t count, ReadEnd end) override;
  std::size_t LastMessageStart(std::span<const std::uint8_t> bytes) const override;
  FramerAction AfterAddress(std::size_t count, ReadEnd end);
  FramerAction AfterBodyByte(ReadEnd end);
  FramerAction AfterTrailerByte(ReadEnd end);
  FramerAction ReadBodyByte();
  FramerAction ReadTrailerByte();
  FramerAction EndOfSentence();
  // The read of the byte at `read_so_far` ended without it: keeps the
  // sentence before it through a purge, or drops all on a closed port.
  FramerAction KeepPartial(std::size_t read_so_far, ReadEnd end);

  Stage stage_ = Stage::kDollar;
  // "$" (or a stray byte), the address, the body and its trailer, read in place.
  std::array<std::uint8_t, 1 + kAddressLength + kMaxBodyBeforeStar + kTrailerLength> sentence_{};
  std::size_t body_length_ = 0;   // body bytes read, "*" included
  std::size_t trailer_read_ = 0;  // trailer bytes asked for so far
};

}  // namespace orvik::core

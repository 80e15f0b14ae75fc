// MotorolaFramer: frames Motorola binary messages: "@@", two letters, a rest
// of fixed length. The time messages "@@Ea" and "@@Hb" and the answers to
// the GMT offset commands, "@@Gb" and "@@Ab", are framed (handed over whole,
// header included); after any other header the loop pauses and purges, and
// the next four bytes read are expected to start the next message.
//
// Where the message at hand cannot be complete, an "@@" inside it starts the
// next one: in four header bytes that do not begin with "@@" (the message
// before was cut off), and in an "Ea" or "Hb" rest that does not end in CR LF
// (this message was cut off and the next one came in its place). The bytes
// from that "@@" on are carried to the next step; nothing is decoded, and
// there is no pause and no purge. In a rest that ends in CR LF, "@@" is data.
//
// A read that times out inside a message (its header or its rest) keeps the
// bytes read so far through the purge (see MessageFramer): from the last
// "@@" that begins a known message (or a trailing "@" too short to tell),
// the next step frames again, so a message merely late is completed and a
// cut one gives way to the next. A header read that got nothing at all asks
// for no purge; any read on a closed port purges.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "core/message_framer.h"
#include "core/motorola_decoder.h"

namespace orvik::core {

class MotorolaFramer : public MessageFramer {
 public:
  static constexpr std::size_t kHeaderLength = 4;

 private:
  enum class Stage { kHeader, kRest };

  FramerAction StartStep() override;
  FramerAction Filled(std::size_t count, ReadEnd end) override;
  std::size_t LastMessageStart(std::span<const std::uint8_t> bytes) const override;
  FramerAction AfterHeader(std::size_t count, ReadEnd end);
  FramerAction AfterRest(std::size_t count, ReadEnd end);

  // The most ever carried is one rest of an "Ea" message.
  static_assert(kEaBodyLength <= kMaxCarried);

  Stage stage_ = Stage::kHeader;
  std::size_t rest_length_ = 0;
  std::array<std::uint8_t, kHeaderLength + kEaBodyLength> message_{};
};

}  // namespace orvik::core

#include "core/motorola_framer.h"

#include <optional>

namespace orvik::core {

namespace {

// Where a message could begin in `bytes`, at `from` or later: the first
// "@@", or a lone "@" as the very last byte.
std::optional<std::size_t> MessageStartIn(std::span<const std::uint8_t> bytes, std::size_t from) {
  for (std::size_t i = from; i < bytes.size(); ++i) {
    if (bytes[i] == '@' && (i + 1 == bytes.size() || bytes[i + 1] == '@')) return i;
  }
  return std::nullopt;
}

}  // namespace

FramerAction MotorolaFramer::StartStep() {
  stage_ = Stage::kHeader;
  return Fill(std::span(message_).first(kHeaderLength));
}

FramerAction MotorolaFramer::Filled(std::size_t count, ReadEnd end) {
  return stage_ == Stage::kHeader ? AfterHeader(count, end) : AfterRest(end);
}

FramerAction MotorolaFramer::AfterHeader(std::size_t count, ReadEnd end) {
  const std::span<const std::uint8_t> head = std::span(message_).first(kHeaderLength);
  if (end != ReadEnd::kComplete) {
    const bool message_begins =
        count == 0 || (head[0] == '@' && (count < 2 || head[1] == '@'));
    if (end == ReadEnd::kPortClosed || !message_begins) return Purge();
    Carry(head.first(count));
    return NextStep();
  }
  const bool at_at = head[0] == '@' && head[1] == '@';
  if (!at_at) {
    if (const auto start = MessageStartIn(head, 1)) {
      Carry(head.subspan(*start));
      return NextStep();
    }
  }
  if (at_at && head[2] == 'E' && head[3] == 'a') {
    rest_length_ = kEaBodyLength;
  } else if (at_at && head[2] == 'H' && head[3] == 'b') {
    rest_length_ = kHbBodyLength;
  } else {
    return Purge(FramerAction::Kind::kPauseThenPurge);
  }
  stage_ = Stage::kRest;
  return Fill(std::span(message_).subspan(kHeaderLength, rest_length_));
}

FramerAction MotorolaFramer::AfterRest(ReadEnd end) {
  if (end != ReadEnd::kComplete) return Purge();
  const std::span<const std::uint8_t> rest = std::span(message_).subspan(kHeaderLength, rest_length_);
  if (rest[rest_length_ - 2] != '\r' || rest[rest_length_ - 1] != '\n') {
    if (const auto start = MessageStartIn(rest, 0)) {
      Carry(rest.subspan(*start));
      return NextStep();
    }
  }
  return Decode(std::span(message_).first(kHeaderLength + rest_length_));
}

}  // namespace orvik::core

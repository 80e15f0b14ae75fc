#include "core/motorola_framer.h"

#include <optional>

namespace orvik::core {

namespace {

// The length of the rest of a message whose header is `head` (four bytes,
// "@@" and two letters), or nullopt for a message that is not framed.
std::optional<std::size_t> RestLength(std::span<const std::uint8_t> head) {
  if (head[0] != '@' || head[1] != '@') return std::nullopt;
  if (head[2] == 'E' && head[3] == 'a') return kEaBodyLength;
  if (head[2] == 'H' && head[3] == 'b') return kHbBodyLength;
  if (head[2] == 'G' && head[3] == 'b') return kGbBodyLength;
  if (head[2] == 'A' && head[3] == 'b') return kAbBodyLength;
  return std::nullopt;
}

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
  return stage_ == Stage::kHeader ? AfterHeader(count, end) : AfterRest(count, end);
}

std::size_t MotorolaFramer::LastMessageStart(std::span<const std::uint8_t> bytes) const {
  // "@@" followed by a framed header, or by too few bytes to tell; binary
  // data may hold "@@" anywhere else.
  for (std::size_t i = bytes.size(); i-- > 0;) {
    if (bytes[i] != '@') continue;
    const std::size_t left = bytes.size() - i;
    // A last "@" after another is the second of an "@@" that starts earlier.
    if (left == 1) {
      if (i > 0 && bytes[i - 1] == '@') continue;
      return i;
    }
    if (bytes[i + 1] != '@') continue;
    if (left < kHeaderLength || RestLength(bytes.subspan(i, kHeaderLength))) return i;
  }
  return bytes.size();
}

FramerAction MotorolaFramer::AfterHeader(std::size_t count, ReadEnd end) {
  const std::span<const std::uint8_t> head = std::span(message_).first(kHeaderLength);
  if (end == ReadEnd::kPortClosed) return Purge();
  if (end == ReadEnd::kTimedOut) {
    // Nothing in the read's whole time: a silent line, nothing to purge.
    if (count == 0) return NextStep();
    return PurgeKeeping(head.first(count));
  }
  const std::optional<std::size_t> rest = RestLength(head);
  if (!rest) {
    // A message cut off by the next one ("@@H@", "x@@E"): frame from there.
    if (const auto start = MessageStartIn(head, 1)) {
      Carry(head.subspan(*start));
      return NextStep();
    }
    return Purge(FramerAction::Kind::kPauseThenPurge);
  }
  rest_length_ = *rest;
  stage_ = Stage::kRest;
  return Fill(std::span(message_).subspan(kHeaderLength, rest_length_));
}

FramerAction MotorolaFramer::AfterRest(std::size_t count, ReadEnd end) {
  if (end == ReadEnd::kPortClosed) return Purge();
  if (end == ReadEnd::kTimedOut)
    return PurgeKeeping(std::span(message_).first(kHeaderLength + count));
  const std::span<const std::uint8_t> rest =
      std::span(message_).subspan(kHeaderLength, rest_length_);
  if (rest[rest_length_ - 2] != '\r' || rest[rest_length_ - 1] != '\n') {
    if (const auto start = MessageStartIn(rest, 0)) {
      Carry(rest.subspan(*start));
      return NextStep();
    }
  }
  return Decode(std::span(message_).first(kHeaderLength + rest_length_));
}

}  // namespace orvik::core

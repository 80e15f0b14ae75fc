#include "core/nmea_framer.h"

#include <algorithm>

namespace orvik::core {

namespace {
constexpr std::size_t kBodyAt = 1 + NmeaFramer::kAddressLength;
constexpr std::array<std::uint8_t, 1> kSentenceStart{'$'};
// Trailer bytes that complete the checksum: after them a sentence is whole.
constexpr std::size_t kChecksumLength = 2;
}  // namespace

FramerAction NmeaFramer::StartStep() {
  stage_ = Stage::kDollar;
  return Fill(std::span(sentence_).first(1));
}

FramerAction NmeaFramer::Filled(std::size_t count, ReadEnd end) {
  switch (stage_) {
    case Stage::kDollar:
      // Nothing came in the read's whole time: the line is silent, and
      // there is nothing to purge.
      if (end == ReadEnd::kTimedOut) return NextStep();
      if (end != ReadEnd::kComplete) return Purge();
      if (sentence_[0] != '$') return NextStep();  // a stray byte
      stage_ = Stage::kAddress;
      return Fill(std::span(sentence_).subspan(1, kAddressLength));
    case Stage::kAddress:
      return AfterAddress(count, end);
    case Stage::kBody:
      return AfterBodyByte(end);
    case Stage::kTrailer:
      return AfterTrailerByte(end);
  }
  return Purge();
}

std::size_t NmeaFramer::LastMessageStart(std::span<const std::uint8_t> bytes) const {
  const auto last_dollar = std::find(bytes.rbegin(), bytes.rend(), '$');
  return last_dollar == bytes.rend() ? bytes.size()
                                     : static_cast<std::size_t>(bytes.rend() - last_dollar) - 1;
}

FramerAction NmeaFramer::KeepPartial(std::size_t read_so_far, ReadEnd end) {
  if (end == ReadEnd::kPortClosed) return Purge();
  return PurgeKeeping(std::span(sentence_).first(read_so_far));
}

FramerAction NmeaFramer::AfterAddress(std::size_t count, ReadEnd end) {
  if (end != ReadEnd::kComplete) return KeepPartial(1 + count, end);
  const std::span<const std::uint8_t> address = std::span(sentence_).subspan(1, kAddressLength);
  const auto last_dollar = std::find(address.rbegin(), address.rend(), '$');
  if (last_dollar != address.rend()) {
    // The last "$" starts the next sentence, with the characters after it.
    Carry(address.subspan(static_cast<std::size_t>(address.rend() - last_dollar) - 1));
    return NextStep();
  }
  body_length_ = 0;
  return ReadBodyByte();
}

FramerAction NmeaFramer::ReadBodyByte() {
  stage_ = Stage::kBody;
  return Fill(std::span(sentence_).subspan(kBodyAt + body_length_, 1));
}

FramerAction NmeaFramer::AfterBodyByte(ReadEnd end) {
  if (end != ReadEnd::kComplete) return KeepPartial(kBodyAt + body_length_, end);
  const std::uint8_t byte = sentence_[kBodyAt + body_length_];
  if (byte == '$') {
    Carry(kSentenceStart);
    return NextStep();
  }
  ++body_length_;
  if (byte == '*') {
    trailer_read_ = 0;
    return ReadTrailerByte();
  }
  // No "*" among the first 255 body bytes: not a sentence.
  if (body_length_ == kMaxBodyBeforeStar) return Purge();
  return ReadBodyByte();
}

FramerAction NmeaFramer::ReadTrailerByte() {
  stage_ = Stage::kTrailer;
  return Fill(std::span(sentence_).subspan(kBodyAt + body_length_ + trailer_read_++, 1));
}

FramerAction NmeaFramer::AfterTrailerByte(ReadEnd end) {
  const std::size_t i = trailer_read_ - 1;
  const std::size_t trailer_at = kBodyAt + body_length_;
  if (end != ReadEnd::kComplete) {
    if (end == ReadEnd::kTimedOut && i >= kChecksumLength) return EndOfSentence();
    return KeepPartial(trailer_at + i, end);
  }
  const std::uint8_t byte = sentence_[trailer_at + i];
  if (byte == '$') {
    Carry(kSentenceStart);
    if (i < kChecksumLength) return NextStep();  // the checksum was cut off
    return EndOfSentence();
  }
  // LF in place of CR: reading a fourth byte would swallow the next "$".
  if (i == 2 && byte == '\n') return EndOfSentence();
  if (trailer_read_ == kTrailerLength) return EndOfSentence();
  return ReadTrailerByte();
}

FramerAction NmeaFramer::EndOfSentence() {
  // Whatever ended it after the checksum (CR LF, LF alone, the next "$", a
  // silence), the sentence is handed over with CR LF.
  const std::size_t trailer_at = kBodyAt + body_length_;
  sentence_[trailer_at + 2] = '\r';
  sentence_[trailer_at + 3] = '\n';
  return Decode(std::span(sentence_).subspan(1, kAddressLength + body_length_ + kTrailerLength));
}

}  // namespace orvik::core

#include "core/nmea_framer.h"

#include <algorithm>

namespace orvik::core {

namespace {
constexpr std::size_t kBodyAt = 1 + NmeaFramer::kAddressLength;
constexpr std::array<std::uint8_t, 1> kSentenceStart{'$'};
}  // namespace

FramerAction NmeaFramer::StartStep() {
  stage_ = Stage::kDollar;
  return Fill(std::span(sentence_).first(1));
}

FramerAction NmeaFramer::Filled(std::size_t count, ReadEnd end) {
  const bool complete = end == ReadEnd::kComplete;
  switch (stage_) {
    case Stage::kDollar:
      if (!complete) return Purge();
      if (count == 0 || sentence_[0] != '$') return NextStep();  // a stray byte
      stage_ = Stage::kAddress;
      return Fill(std::span(sentence_).subspan(1, kAddressLength));
    case Stage::kAddress:
      return AfterAddress(complete);
    case Stage::kBody:
      return AfterBodyByte(complete);
    case Stage::kTrailer:
      return AfterTrailerByte(complete);
  }
  return Purge();
}

FramerAction NmeaFramer::AfterAddress(bool complete) {
  if (!complete) return Purge();
  const std::span<const std::uint8_t> address = std::span(sentence_).subspan(1, kAddressLength);
  const auto last_dollar = std::find(address.rbegin(), address.rend(), '$');
  if (last_dollar != address.rend()) {
    // The last "$" starts the next sentence, with the characters after it.
    Carry(address.subspan(static_cast<std::size_t>(address.rend() - last_dollar) - 1));
    return NextStep();
  }
  body_length_ = 0;
  body_read_failed_ = false;
  return ReadBodyByte();
}

FramerAction NmeaFramer::ReadBodyByte() {
  stage_ = Stage::kBody;
  return Fill(std::span(sentence_).subspan(kBodyAt + body_length_, 1));
}

FramerAction NmeaFramer::AfterBodyByte(bool complete) {
  if (!complete) {
    // The trailer is read all the same: the line is purged after it anyway.
    body_read_failed_ = true;
    trailer_read_ = 0;
    return ReadTrailerByte();
  }
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

FramerAction NmeaFramer::AfterTrailerByte(bool complete) {
  const std::size_t i = trailer_read_ - 1;
  const std::size_t trailer_at = kBodyAt + body_length_;
  const std::uint8_t byte = sentence_[trailer_at + i];
  if (complete && !body_read_failed_ && byte == '$') {
    Carry(kSentenceStart);
    if (i < 2) return NextStep();  // the checksum was cut off
    if (i == 2) sentence_[trailer_at + 2] = '\r';
    sentence_[trailer_at + 3] = '\n';
    return EndOfSentence(true);
  }
  // LF in place of CR: reading a fourth byte would swallow the next "$".
  if (i == 2 && complete && byte == '\n') {
    sentence_[trailer_at + 2] = '\r';
    sentence_[trailer_at + 3] = '\n';
    return EndOfSentence(true);
  }
  if (trailer_read_ == kTrailerLength) return EndOfSentence(complete);
  return ReadTrailerByte();
}

FramerAction NmeaFramer::EndOfSentence(bool last_read_complete) {
  // A body that never reached its "*" is never decoded, whatever the last read did.
  if (body_read_failed_ || !last_read_complete) return Purge();
  return Decode(std::span(sentence_).subspan(1, kAddressLength + body_length_ + kTrailerLength));
}

}  // namespace orvik::core

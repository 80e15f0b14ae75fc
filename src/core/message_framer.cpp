#include "core/message_framer.h"

#include <algorithm>

namespace orvik::core {

FramerAction MessageFramer::Begin() { return StartStep(); }

FramerAction MessageFramer::OnRead(ReadResult result) {
  return Filled(taken_ + result.count, result.end);
}

FramerAction MessageFramer::Fill(std::span<std::uint8_t> into) {
  taken_ = std::min(into.size(), carried_length_);
  std::copy_n(carried_.begin(), taken_, into.begin());
  std::copy(carried_.begin() + static_cast<std::ptrdiff_t>(taken_),
            carried_.begin() + static_cast<std::ptrdiff_t>(carried_length_), carried_.begin());
  carried_length_ -= taken_;
  if (taken_ == into.size()) return Filled(taken_, ReadEnd::kComplete);
  return {FramerAction::Kind::kRead, into.subspan(taken_), {}};
}

void MessageFramer::Carry(std::span<const std::uint8_t> bytes) {
  // A message framed from carried bytes is shorter than they were, so the
  // total never grows past one message's rest and always fits.
  const std::size_t n = std::min(bytes.size(), carried_.size() - carried_length_);
  std::copy_backward(carried_.begin(),
                     carried_.begin() + static_cast<std::ptrdiff_t>(carried_length_),
                     carried_.begin() + static_cast<std::ptrdiff_t>(carried_length_ + n));
  std::copy_n(bytes.begin(), n, carried_.begin());
  carried_length_ += n;
}

FramerAction MessageFramer::Purge(FramerAction::Kind kind) {
  carried_length_ = 0;
  return {kind, {}, {}};
}

FramerAction MessageFramer::PurgeKeeping(std::span<const std::uint8_t> partial) {
  Carry(partial);
  return {FramerAction::Kind::kPurge, {}, {}};
}

void MessageFramer::AfterPurge(std::span<const std::uint8_t> discarded) {
  // What is carried came before what the purge discarded.
  std::array<std::uint8_t, 2 * kMaxCarried> line{};
  const std::size_t from_purge = std::min(discarded.size(), kMaxCarried);
  std::copy_n(carried_.begin(), carried_length_, line.begin());
  std::copy(discarded.end() - static_cast<std::ptrdiff_t>(from_purge), discarded.end(),
            line.begin() + static_cast<std::ptrdiff_t>(carried_length_));
  const std::span<const std::uint8_t> bytes = std::span(line).first(carried_length_ + from_purge);
  const std::size_t start = LastMessageStart(bytes);
  carried_length_ = 0;
  // A start further back than a whole message cannot begin one that fits.
  if (start < bytes.size() && bytes.size() - start <= kMaxCarried) Carry(bytes.subspan(start));
}

}  // namespace orvik::core

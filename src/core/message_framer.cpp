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
  std::copy_backward(carried_.begin(), carried_.begin() + static_cast<std::ptrdiff_t>(carried_length_),
                     carried_.begin() + static_cast<std::ptrdiff_t>(carried_length_ + n));
  std::copy_n(bytes.begin(), n, carried_.begin());
  carried_length_ += n;
}

FramerAction MessageFramer::Purge(FramerAction::Kind kind) {
  carried_length_ = 0;
  return {kind, {}, {}};
}

}  // namespace orvik::core

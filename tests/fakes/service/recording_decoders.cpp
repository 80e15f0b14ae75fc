#include "fakes/service/recording_decoders.h"

#include <algorithm>

namespace orvik::testing {

std::vector<std::string> RecordingDecoders::Frames() const {
  std::lock_guard lock(mutex_);
  return frames_;
}

bool RecordingDecoders::WaitForFrames(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return recorded_.wait_for(lock, timeout, [&] { return frames_.size() >= count; });
}

bool RecordingDecoders::WaitForFrame(const std::string& frame, std::size_t from,
                                     std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return recorded_.wait_for(lock, timeout, [&] {
    const auto begin =
        frames_.begin() + static_cast<std::ptrdiff_t>(std::min(from, frames_.size()));
    return std::find(begin, frames_.end(), frame) != frames_.end();
  });
}

void RecordingDecoders::StartAcquisition() {
  if (next_ != nullptr) next_->StartAcquisition();
}

void RecordingDecoders::DecodeNmea(std::span<const std::uint8_t> sentence,
                                   const service::MessageContext& context) {
  Record(sentence);
  if (next_ != nullptr) next_->DecodeNmea(sentence, context);
}

void RecordingDecoders::DecodeMotorola(std::span<const std::uint8_t> message,
                                       const service::MessageContext& context) {
  Record(message);
  if (next_ != nullptr) next_->DecodeMotorola(message, context);
}

void RecordingDecoders::Record(std::span<const std::uint8_t> frame) {
  std::lock_guard lock(mutex_);
  frames_.emplace_back(frame.begin(), frame.end());
  recorded_.notify_all();
}

std::vector<std::string> RecordingLogWriter::Lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

void RecordingLogWriter::WriteLog(std::string_view line) {
  std::lock_guard lock(mutex_);
  lines_.emplace_back(line);
}

}  // namespace orvik::testing

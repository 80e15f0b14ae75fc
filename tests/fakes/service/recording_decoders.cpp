#include "fakes/service/recording_decoders.h"

#include <algorithm>

#include "service/acquisition_thread.h"

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
    const auto begin = frames_.begin() + static_cast<std::ptrdiff_t>(std::min(from, frames_.size()));
    return std::find(begin, frames_.end(), frame) != frames_.end();
  });
}

void RecordingDecoders::DecodeNmea(service::comm_GPS_acq& thread, std::size_t body_length) {
  const auto& header = thread.MessageHeader();
  std::string frame(header.begin() + 1, header.begin() + 1 + header[0]);
  const auto& body = thread.MessagePayload();
  frame.append(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(body_length));
  Record(std::move(frame));
  if (next_ != nullptr) next_->DecodeNmea(thread, body_length);
}

void RecordingDecoders::DecodeMotorola(service::comm_GPS_acq& thread) {
  const auto& header = thread.MessageHeader();
  std::string frame(header.begin(), header.begin() + 4);
  const std::size_t rest = header[2] == 'E' ? service::comm_GPS_acq::kEaRestLength
                                            : service::comm_GPS_acq::kHbRestLength;
  const auto& body = thread.MessagePayload();
  frame.append(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(rest));
  Record(std::move(frame));
  if (next_ != nullptr) next_->DecodeMotorola(thread);
}

void RecordingDecoders::Record(std::string frame) {
  std::lock_guard lock(mutex_);
  frames_.push_back(std::move(frame));
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

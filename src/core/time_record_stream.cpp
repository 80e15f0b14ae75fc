#include "core/time_record_stream.h"

#include <algorithm>
#include <cstring>

namespace orvik::core {

std::vector<TimeMessage> RecordStream::Push(std::span<const std::uint8_t> bytes) {
  std::vector<TimeMessage> records;
  for (const std::uint8_t byte : bytes) {
    if (!PushByte(byte)) continue;
    TimeMessage& record = records.emplace_back();
    std::copy(pending_.begin(), pending_.end(), record.begin());
    size_ = 0;
  }
  return records;
}

bool RecordStream::PushByte(std::uint8_t byte) {
  pending_[size_++] = byte;
  if (synchronised_) {
    if (size_ < kTimeMessageSize) return false;  // an early mark is data
    if (EndsWithMark()) return true;
    // The 39 bytes do not end with the mark: the place is lost. A mark inside
    // them ends the broken record; what follows it starts the next one.
    synchronised_ = false;
    for (std::size_t end = size_ - 1; end >= kEndMark.size(); --end) {
      if (std::equal(kEndMark.begin(), kEndMark.end(),
                     pending_.begin() + static_cast<std::ptrdiff_t>(end - kEndMark.size()))) {
        DropFront(end);
        synchronised_ = true;
        return false;
      }
    }
    DropFront(1);  // keep looking with a window of 38 bytes
    return false;
  }
  if (EndsWithMark()) {
    // Whole 39 bytes before a mark form a record (a stream that starts on a
    // boundary loses nothing); fewer are the tail of a record begun earlier.
    if (size_ == kTimeMessageSize) {
      synchronised_ = true;
      return true;
    }
    DropFront(size_);
    synchronised_ = true;
    return false;
  }
  if (size_ == kTimeMessageSize) DropFront(1);
  return false;
}

bool RecordStream::EndsWithMark() const {
  if (size_ < kEndMark.size()) return false;
  return std::equal(kEndMark.begin(), kEndMark.end(),
                    pending_.begin() + static_cast<std::ptrdiff_t>(size_ - kEndMark.size()));
}

void RecordStream::DropFront(std::size_t count) {
  std::memmove(pending_.data(), pending_.data() + count, size_ - count);
  size_ -= count;
  skipped_bytes_ += count;
}

DisplayUpdate RecordDisplay(const TimeMessage& record) {
  const DateTime local{
      .year = ReadBeU16(record, kOffsetYear),
      .month = record[kOffsetMonth],
      .day = record[kOffsetDay],
      .hour = record[kOffsetHour],
      .minute = record[kOffsetMinute],
      .second = record[kOffsetSecond],
  };
  const std::uint8_t tracked = record[kOffsetTracked];
  return AcceptedDisplay(local, tracked > 0, tracked, record[kOffsetVisible]);
}

}  // namespace orvik::core

#include "gpstime_client/record_stream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace orvik::tools {

std::vector<core::TimeMessage> RecordStream::Push(std::span<const std::uint8_t> bytes) {
  std::vector<core::TimeMessage> records;
  for (const std::uint8_t byte : bytes) {
    if (!PushByte(byte)) continue;
    core::TimeMessage& record = records.emplace_back();
    std::copy(pending_.begin(), pending_.end(), record.begin());
    size_ = 0;
  }
  return records;
}

bool RecordStream::PushByte(std::uint8_t byte) {
  pending_[size_++] = byte;
  if (synchronised_) {
    if (size_ < core::kTimeMessageSize) return false;  // an early mark is data
    if (EndsWithMark()) return true;
    // The 39 bytes do not end with the mark: the place is lost. A mark inside
    // them ends the broken record; what follows it starts the next one.
    synchronised_ = false;
    for (std::size_t end = size_ - 1; end >= core::kEndMark.size(); --end) {
      if (std::equal(core::kEndMark.begin(), core::kEndMark.end(),
                     pending_.begin() + static_cast<std::ptrdiff_t>(end - core::kEndMark.size()))) {
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
    if (size_ == core::kTimeMessageSize) {
      synchronised_ = true;
      return true;
    }
    DropFront(size_);
    synchronised_ = true;
    return false;
  }
  if (size_ == core::kTimeMessageSize) DropFront(1);
  return false;
}

bool RecordStream::EndsWithMark() const {
  if (size_ < core::kEndMark.size()) return false;
  return std::equal(core::kEndMark.begin(), core::kEndMark.end(),
                    pending_.begin() + static_cast<std::ptrdiff_t>(size_ - core::kEndMark.size()));
}

void RecordStream::DropFront(std::size_t count) {
  std::memmove(pending_.data(), pending_.data() + count, size_ - count);
  size_ -= count;
  skipped_bytes_ += count;
}

std::string FormatRecord(const core::TimeMessage& record, bool raw) {
  char line[96];
  std::snprintf(line, sizeof line, "%04u-%02u-%02u %02u:%02u:%02u  visible %u  tracked %u",
                unsigned{core::ReadBeU16(record, core::kOffsetYear)},
                unsigned{record[core::kOffsetMonth]}, unsigned{record[core::kOffsetDay]},
                unsigned{record[core::kOffsetHour]}, unsigned{record[core::kOffsetMinute]},
                unsigned{record[core::kOffsetSecond]}, unsigned{record[core::kOffsetVisible]},
                unsigned{record[core::kOffsetTracked]});
  std::string text = line;
  if (raw) {
    text += " ";
    for (const std::uint8_t byte : record) {
      char hex[4];
      std::snprintf(hex, sizeof hex, " %02x", unsigned{byte});
      text += hex;
    }
  }
  return text;
}

}  // namespace orvik::tools

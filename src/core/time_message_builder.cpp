#include "core/time_message_builder.h"

#include <algorithm>
#include <cassert>

namespace orvik::core {

TimeMessage BuildTimeMessage(std::span<const std::uint8_t> payload, std::uint8_t message_letter) {
  assert(payload.size() >= 37);
  TimeMessage record{};
  std::copy_n(payload.begin(), kOffsetEndMark, record.begin());
  if (message_letter == 'b') {
    record[kOffsetVisible] = payload[35];
    record[kOffsetTracked] = payload[36];
  }
  std::copy(kEndMark.begin(), kEndMark.end(), record.begin() + kOffsetEndMark);
  return record;
}

TimeMessage TimeMessageOf(const DateTime& local, std::uint8_t visible, std::uint8_t tracked) {
  TimeMessage record{};
  record[kOffsetMonth] = static_cast<std::uint8_t>(local.month);
  record[kOffsetDay] = static_cast<std::uint8_t>(local.day);
  WriteBeU16(record, kOffsetYear, local.year);
  record[kOffsetHour] = static_cast<std::uint8_t>(local.hour);
  record[kOffsetMinute] = static_cast<std::uint8_t>(local.minute);
  record[kOffsetSecond] = static_cast<std::uint8_t>(local.second);
  record[kOffsetVisible] = visible;
  record[kOffsetTracked] = tracked;
  std::copy(kEndMark.begin(), kEndMark.end(), record.begin() + kOffsetEndMark);
  return record;
}

}  // namespace orvik::core

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

}  // namespace orvik::core

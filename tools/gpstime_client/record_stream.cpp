#include "gpstime_client/record_stream.h"

#include <cstdio>

namespace orvik::tools {

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

// NMEA text for tests: sentences checked with the tests' own XOR and field
// splitting, independent of the code under test.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orvik::testing {

// True when `sentence` is "$" body "*" two upper-case hex digits CR LF and
// the digits are the XOR of the body.
inline bool HasValidNmeaChecksum(std::string_view sentence) {
  if (sentence.size() < 6 || sentence.front() != '$' || !sentence.ends_with("\r\n")) {
    return false;
  }
  const std::size_t star = sentence.size() - 5;
  if (sentence[star] != '*') return false;
  std::uint8_t sum = 0;
  for (std::size_t i = 1; i < star; ++i) sum ^= static_cast<std::uint8_t>(sentence[i]);
  static constexpr char kHex[] = "0123456789ABCDEF";
  return sentence[star + 1] == kHex[sum >> 4] && sentence[star + 2] == kHex[sum & 0x0F];
}

// The comma-separated fields of a sentence's body: field 0 is the address
// ("GPRMC"), the checksum and CR LF are left out.
inline std::vector<std::string> NmeaFields(std::string_view sentence) {
  std::string_view body = sentence.substr(1, sentence.find('*') - 1);
  std::vector<std::string> fields;
  while (true) {
    const std::size_t comma = body.find(',');
    fields.emplace_back(body.substr(0, comma));
    if (comma == std::string_view::npos) break;
    body.remove_prefix(comma + 1);
  }
  return fields;
}

// Splits text into the sentences that end in LF (the LF kept).
inline std::vector<std::string> LinesWithEnds(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t lf = text.find('\n');
    const std::size_t length = lf == std::string_view::npos ? text.size() : lf + 1;
    lines.emplace_back(text.substr(0, length));
    text.remove_prefix(length);
  }
  return lines;
}

}  // namespace orvik::testing

#include "core/checksums.h"

namespace orvik::core {
namespace {

std::uint8_t XorOf(std::span<const std::uint8_t> bytes) {
  std::uint8_t sum = 0;
  for (const std::uint8_t byte : bytes) sum ^= byte;
  return sum;
}

}  // namespace

std::uint8_t NmeaChecksum(std::span<const std::uint8_t> bytes) { return XorOf(bytes); }

std::uint8_t MotorolaChecksum(std::span<const std::uint8_t> bytes) { return XorOf(bytes); }

std::string NmeaSentence(std::string_view body_without_dollar) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  const std::uint8_t sum =
      NmeaChecksum({reinterpret_cast<const std::uint8_t*>(body_without_dollar.data()),
                    body_without_dollar.size()});
  std::string sentence;
  sentence.reserve(body_without_dollar.size() + 6);
  sentence += '$';
  sentence += body_without_dollar;
  sentence += '*';
  sentence += kHexDigits[sum >> 4];
  sentence += kHexDigits[sum & 0x0F];
  sentence += "\r\n";
  return sentence;
}

std::vector<std::uint8_t> MotorolaMessage(char first, char second,
                                          std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> message;
  message.reserve(4 + data.size() + 3);
  for (std::uint8_t b : {std::uint8_t{'@'}, std::uint8_t{'@'}, static_cast<std::uint8_t>(first),
                         static_cast<std::uint8_t>(second)}) {
    message.push_back(b);
  }
  message.insert(message.end(), data.begin(), data.end());
  message.push_back(MotorolaChecksum(std::span(message).subspan(2)));
  message.push_back('\r');
  message.push_back('\n');
  return message;
}

}  // namespace orvik::core

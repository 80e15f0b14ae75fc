#include "gpstime_sim/corruption.h"

#include <algorithm>
#include <span>

#include "core/checksums.h"

namespace orvik::tools {
namespace {

// Motorola: "@@", two letters, data, checksum, CR, LF.
constexpr std::size_t kMotorolaMinLength = 7;
constexpr std::size_t kSecondLetter = 3;
// NMEA: "$", the five-letter address, ..., "*", two digits, CR, LF.
constexpr std::size_t kAddressLastLetter = 5;

char HexDigit(int value) { return "0123456789ABCDEF"[value & 0x0F]; }

void DamageMotorola(std::vector<std::uint8_t>& message, Corruption kind) {
  if (message.size() < kMotorolaMinLength) return;
  const std::size_t checksum_at = message.size() - 3;
  switch (kind) {
    case Corruption::kChecksum:
      message[checksum_at] = static_cast<std::uint8_t>(~message[checksum_at]);
      break;
    case Corruption::kLength:
      message.pop_back();
      break;
    case Corruption::kHeader:
      message[kSecondLetter] = message[kSecondLetter] == 'a' ? 'b' : 'a';
      message[checksum_at] = core::MotorolaChecksum(std::span(message).subspan(2, checksum_at - 2));
      break;
    case Corruption::kNone:
      break;
  }
}

void DamageNmea(std::vector<std::uint8_t>& group, Corruption kind) {
  const auto lf = std::find(group.begin(), group.end(), '\n');
  const auto star = std::find(group.begin(), lf, '*');
  // The first sentence must be "$" .. "*" two digits CR LF.
  if (lf == group.end() || star == lf || lf - star != 4 ||
      star - group.begin() <= static_cast<std::ptrdiff_t>(kAddressLastLetter)) {
    return;
  }
  const std::size_t star_at = static_cast<std::size_t>(star - group.begin());
  const auto write_checksum = [&group, star_at](std::uint8_t sum) {
    group[star_at + 1] = static_cast<std::uint8_t>(HexDigit(sum >> 4));
    group[star_at + 2] = static_cast<std::uint8_t>(HexDigit(sum));
  };
  const auto body_checksum = [&group, star_at] {
    return core::NmeaChecksum(std::span(group).subspan(1, star_at - 1));
  };
  switch (kind) {
    case Corruption::kChecksum:
      write_checksum(static_cast<std::uint8_t>(~body_checksum()));
      break;
    case Corruption::kLength:
      group.erase(lf);
      break;
    case Corruption::kHeader: {
      std::uint8_t& letter = group[kAddressLastLetter];
      letter = letter == 'Z' ? 'A' : static_cast<std::uint8_t>(letter + 1);
      write_checksum(body_checksum());
      break;
    }
    case Corruption::kNone:
      break;
  }
}

}  // namespace

bool IsDamaged(const SimOptions& options, std::int64_t number) {
  if (options.corrupt == Corruption::kNone) return false;
  const std::int64_t every = std::max<std::int64_t>(1, options.corrupt_every.value_or(1));
  return number > 0 && number % every == 0;
}

std::vector<std::uint8_t> Damage(std::vector<std::uint8_t> output, Corruption kind, bool nmea) {
  if (nmea) {
    DamageNmea(output, kind);
  } else {
    DamageMotorola(output, kind);
  }
  return output;
}

std::string CorruptionName(Corruption kind) {
  switch (kind) {
    case Corruption::kChecksum:
      return "checksum";
    case Corruption::kLength:
      return "length";
    case Corruption::kHeader:
      return "header";
    case Corruption::kNone:
      break;
  }
  return "none";
}

}  // namespace orvik::tools

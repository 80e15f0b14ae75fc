#include "gpstime_sim/command_printer.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>

#include "core/checksums.h"

namespace orvik::tools {
namespace {

// The longest command looked for; longer runs are reported as unknown bytes.
constexpr std::size_t kMaxCommandLength = 255;

constexpr std::size_t kGbLength = 17;
constexpr std::size_t kAbLength = 10;
constexpr std::size_t kIntervalLength = 8;

std::string Hex2(std::uint8_t byte) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

bool IsLetter(std::uint8_t byte) {
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

std::optional<int> HexValue(std::uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

bool EndsInCrLf(std::span<const std::uint8_t> bytes) {
  return bytes.size() >= 2 && bytes[bytes.size() - 2] == '\r' && bytes.back() == '\n';
}

ReceiverCommand Unknown(std::span<const std::uint8_t> bytes) {
  ReceiverCommand command;
  command.bytes.assign(bytes.begin(), bytes.end());
  return command;
}

// "$" body "*" two upper-case hex digits, then CR LF.
ReceiverCommand ParseNmea(std::span<const std::uint8_t> bytes) {
  ReceiverCommand command = Unknown(bytes);
  command.kind = CommandKind::kOtherNmea;
  command.terminator_ok = EndsInCrLf(bytes);
  const auto star = std::find(bytes.begin(), bytes.end(), '*');
  if (star != bytes.end() && bytes.end() - star >= 3) {
    const std::optional<int> high = HexValue(star[1]);
    const std::optional<int> low = HexValue(star[2]);
    const auto body = std::span(bytes.begin() + 1, star);
    command.checksum_ok = high && low && core::NmeaChecksum(body) == *high * 16 + *low;
  }
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  constexpr std::string_view kIntervalPrefix = "$PGRMC1,";
  if (text.starts_with(kIntervalPrefix)) {
    command.kind = CommandKind::kNmeaInterval;
    const std::string_view field =
        text.substr(kIntervalPrefix.size(),
                    text.find_first_of(",*\r\n", kIntervalPrefix.size()) - kIntervalPrefix.size());
    if (!field.empty() && field.size() <= 4 &&
        std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      command.interval = std::stoi(std::string(field));
    }
  }
  return command;
}

// "@@", two letters, data, checksum byte, CR LF.
ReceiverCommand ParseMotorola(std::span<const std::uint8_t> bytes) {
  ReceiverCommand command = Unknown(bytes);
  command.kind = CommandKind::kOtherMotorola;
  command.terminator_ok = EndsInCrLf(bytes);
  if (bytes.size() >= 7) {
    const auto letters_and_data = bytes.subspan(2, bytes.size() - 5);
    command.checksum_ok = core::MotorolaChecksum(letters_and_data) == bytes[bytes.size() - 3];
  }
  const auto offset_minutes = [](std::uint8_t sign, std::uint8_t hours, std::uint8_t minutes) {
    const int magnitude = hours * 60 + minutes;
    return sign != 0 ? -magnitude : magnitude;
  };
  const char first = static_cast<char>(bytes[2]);
  const char second = static_cast<char>(bytes[3]);
  if (first == 'G' && second == 'b' && bytes.size() == kGbLength) {
    // month, day, year (2), hour, minute, second, sign, hours, minutes
    command.kind = CommandKind::kGmtOffsetGb;
    command.date_time.month = bytes[4];
    command.date_time.day = bytes[5];
    command.date_time.year = static_cast<std::uint16_t>(bytes[6] << 8 | bytes[7]);
    command.date_time.hour = bytes[8];
    command.date_time.minute = bytes[9];
    command.date_time.second = bytes[10];
    command.offset_minutes = offset_minutes(bytes[11], bytes[12], bytes[13]);
  } else if (first == 'A' && second == 'b' && bytes.size() == kAbLength) {
    command.kind = CommandKind::kGmtOffsetAb;  // sign, hours, minutes
    command.offset_minutes = offset_minutes(bytes[4], bytes[5], bytes[6]);
  } else if ((first == 'H' && second == 'b') || (first == 'E' && second == 'a')) {
    command.kind = first == 'H' ? CommandKind::kIntervalHb : CommandKind::kIntervalEa;
    command.interval = bytes[4];
  }
  return command;
}

std::string OffsetText(int offset_minutes) {
  const int magnitude = offset_minutes < 0 ? -offset_minutes : offset_minutes;
  char text[32];
  std::snprintf(text, sizeof text, "%c%d:%02d", offset_minutes < 0 ? '-' : '+', magnitude / 60,
                magnitude % 60);
  return text;
}

std::string HexBytes(std::span<const std::uint8_t> bytes) {
  std::string text;
  for (const std::uint8_t byte : bytes) {
    if (!text.empty()) text += ' ';
    text += Hex2(byte);
  }
  return text;
}

}  // namespace

std::vector<ReceiverCommand> CommandParser::Push(std::span<const std::uint8_t> bytes) {
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  std::vector<ReceiverCommand> out;
  while (!pending_.empty() && TakeOne(out)) {
  }
  return out;
}

std::vector<ReceiverCommand> CommandParser::Flush() {
  std::vector<ReceiverCommand> out;
  if (!pending_.empty()) out.push_back(Unknown(pending_));
  pending_.clear();
  return out;
}

bool CommandParser::TakeOne(std::vector<ReceiverCommand>& out) {
  const std::span<const std::uint8_t> bytes = pending_;
  const auto take = [this, &out](std::size_t count, ReceiverCommand command) {
    out.push_back(std::move(command));
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(count));
    return true;
  };
  const auto starts_command = [&bytes](std::size_t at) {
    return bytes[at] == '$' || bytes[at] == '@';
  };
  // Takes the run of bytes up to the next possible start of a command. A run
  // that reaches the end of the bytes waits for more (or for Flush), so stray
  // bytes arriving one by one still make one run.
  const auto take_unknown_run = [&bytes, &starts_command, &take]() {
    std::size_t end = 1;
    while (end < bytes.size() && end < kMaxCommandLength && !starts_command(end)) ++end;
    if (end == bytes.size() && end < kMaxCommandLength) return false;
    return take(end, Unknown(bytes.first(end)));
  };

  if (bytes[0] == '$') {
    const std::size_t limit = std::min(bytes.size(), kMaxCommandLength);
    for (std::size_t at = 1; at < limit; ++at) {
      // A new "$" before the line feed: what came before was cut short.
      if (bytes[at] == '$') return take(at, Unknown(bytes.first(at)));
      if (bytes[at] == '\n') return take(at + 1, ParseNmea(bytes.first(at + 1)));
    }
    if (bytes.size() >= kMaxCommandLength) return take(limit, Unknown(bytes.first(limit)));
    return false;
  }
  if (bytes[0] == '@') {
    if (bytes.size() < 2) return false;
    if (bytes[1] != '@') return take_unknown_run();
    if (bytes.size() < 4) return false;
    if (!IsLetter(bytes[2]) || !IsLetter(bytes[3])) return take(1, Unknown(bytes.first(1)));
    const std::string_view letters(reinterpret_cast<const char*>(&bytes[2]), 2);
    std::size_t length = 0;
    if (letters == "Gb") length = kGbLength;
    if (letters == "Ab") length = kAbLength;
    if (letters == "Hb" || letters == "Ea") length = kIntervalLength;
    if (length != 0) {
      if (bytes.size() < length) return false;
      return take(length, ParseMotorola(bytes.first(length)));
    }
    const std::size_t limit = std::min(bytes.size(), kMaxCommandLength);
    for (std::size_t at = 5; at < limit; ++at) {
      if (bytes[at - 1] == '\r' && bytes[at] == '\n') {
        return take(at + 1, ParseMotorola(bytes.first(at + 1)));
      }
    }
    if (bytes.size() >= kMaxCommandLength) return take(limit, Unknown(bytes.first(limit)));
    return false;
  }
  return take_unknown_run();
}

std::string PrintableText(std::span<const std::uint8_t> bytes) {
  if (!bytes.empty() && bytes.back() == '\n') bytes = bytes.first(bytes.size() - 1);
  if (!bytes.empty() && bytes.back() == '\r') bytes = bytes.first(bytes.size() - 1);
  std::string text;
  for (const std::uint8_t byte : bytes) {
    if (byte >= 0x20 && byte < 0x7F) {
      text += static_cast<char>(byte);
    } else {
      text += "\\x" + Hex2(byte);
    }
  }
  return text;
}

std::string DescribeCommand(const ReceiverCommand& command) {
  const std::span<const std::uint8_t> bytes = command.bytes;
  if (command.kind == CommandKind::kUnknownBytes) {
    return "command: unknown bytes (" + std::to_string(bytes.size()) + "): " + HexBytes(bytes);
  }
  std::string text = "command: ";
  if (command.kind == CommandKind::kNmeaInterval || command.kind == CommandKind::kOtherNmea) {
    text += PrintableText(bytes);
    if (command.kind == CommandKind::kNmeaInterval) {
      text += command.interval >= 0 ? " interval " + std::to_string(command.interval)
                                    : std::string(" interval not a number");
    }
  } else {
    text += "@@" + std::string(bytes.begin() + 2, bytes.begin() + 4);
    switch (command.kind) {
      case CommandKind::kGmtOffsetGb: {
        char date[40];
        const core::DateTime& t = command.date_time;
        std::snprintf(date, sizeof date, " %04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day,
                      t.hour, t.minute, t.second);
        text += date;
        text += " GMT offset " + OffsetText(command.offset_minutes);
        break;
      }
      case CommandKind::kGmtOffsetAb:
        text += " GMT offset " + OffsetText(command.offset_minutes);
        break;
      case CommandKind::kIntervalHb:
      case CommandKind::kIntervalEa:
        text += " interval " + std::to_string(command.interval);
        break;
      default:
        if (bytes.size() > 7) text += " " + HexBytes(bytes.subspan(4, bytes.size() - 7));
        break;
    }
  }
  text += " (" + std::to_string(bytes.size()) + " bytes, checksum ";
  text += command.checksum_ok ? "ok" : "bad";
  if (!command.terminator_ok) text += ", no CR LF";
  text += ")";
  return text;
}

}  // namespace orvik::tools

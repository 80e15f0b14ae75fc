#include "core/receiver_commands.h"

#include <cstdlib>
#include <span>
#include <string>
#include <utility>

#include "core/checksums.h"

namespace orvik::core {
namespace {

constexpr std::uint8_t kNegativeSign = 255;
constexpr std::int64_t kByteMax = 255;
// Commas after the interval field of "$PGRMC1": the fields it leaves unchanged.
constexpr std::size_t kPgrmc1EmptyFields = 13;

Status Refuse(std::string message) {
  return Status::Error(StatusCode::kInvalidArgument, std::move(message));
}

Status RefuseInterval(std::uint16_t interval, int low, int high) {
  return Refuse("The receiver cannot take a transmission interval of " + std::to_string(interval) +
                " seconds (" + std::to_string(low) + " to " + std::to_string(high) + ").");
}

bool FitsByte(std::uint16_t value) { return value <= kByteMax; }

}  // namespace

Result<GmtOffsetFields> GmtOffsetFieldsFor(const Settings& settings, bool summer_in_effect) {
  // 64-bit: |GmtHours + 1| cannot overflow whatever the settings hold.
  const std::int64_t hours =
      std::llabs(static_cast<std::int64_t>(settings.GmtHours) + (summer_in_effect ? 1 : 0));
  const std::int64_t minutes = std::llabs(static_cast<std::int64_t>(settings.GmtMinutes));
  if (hours > kByteMax) {
    return Refuse("The receiver cannot take a GMT offset of " + std::to_string(hours) +
                  " hours (0 to 255).");
  }
  if (minutes > kByteMax) {
    return Refuse("The receiver cannot take a GMT offset of " + std::to_string(minutes) +
                  " minutes (0 to 255).");
  }
  return GmtOffsetFields{settings.GmtHours < 0 ? kNegativeSign : std::uint8_t{0},
                         static_cast<std::uint8_t>(hours), static_cast<std::uint8_t>(minutes)};
}

Result<std::vector<std::uint8_t>> ComposeGmtOffsetCommand(const Settings& settings,
                                                          bool summer_in_effect,
                                                          const DateTime& pc_now) {
  if (IsNmeaProtocol(settings.Protocol)) return std::vector<std::uint8_t>{};
  const Result<GmtOffsetFields> offset = GmtOffsetFieldsFor(settings, summer_in_effect);
  if (!offset.ok()) return offset.status();
  const GmtOffsetFields& o = offset.value();
  if (settings.Protocol == kProtocolMotorolaOncore) {
    const std::uint8_t data[] = {o.sign, o.hours, o.minutes};
    return MotorolaMessage('A', 'b', data);
  }
  // A real clock reading always fits; anything else is refused, not cut.
  if (!FitsByte(pc_now.month) || !FitsByte(pc_now.day) || !FitsByte(pc_now.hour) ||
      !FitsByte(pc_now.minute) || !FitsByte(pc_now.second)) {
    return Refuse("The PC's date and time cannot be sent to the receiver.");
  }
  const std::uint8_t data[] = {static_cast<std::uint8_t>(pc_now.month),
                               static_cast<std::uint8_t>(pc_now.day),
                               static_cast<std::uint8_t>(pc_now.year >> 8),
                               static_cast<std::uint8_t>(pc_now.year & 0xFF),
                               static_cast<std::uint8_t>(pc_now.hour),
                               static_cast<std::uint8_t>(pc_now.minute),
                               static_cast<std::uint8_t>(pc_now.second),
                               o.sign,
                               o.hours,
                               o.minutes};
  return MotorolaMessage('G', 'b', data);
}

std::optional<std::int64_t> GmtOffsetMinutesOfCommand(std::span<const std::uint8_t> command) {
  std::size_t sign_at = 0;
  if (command.size() == 17 && command[2] == 'G' && command[3] == 'b') {
    sign_at = 11;
  } else if (command.size() == 10 && command[2] == 'A' && command[3] == 'b') {
    sign_at = 4;
  } else {
    return std::nullopt;
  }
  const std::size_t checksum_at = command.size() - 3;
  if (command[0] != '@' || command[1] != '@' ||
      MotorolaChecksum(command.subspan(2, checksum_at - 2)) != command[checksum_at]) {
    return std::nullopt;
  }
  const std::int64_t magnitude =
      static_cast<std::int64_t>(command[sign_at + 1]) * 60 + command[sign_at + 2];
  return command[sign_at] == kNegativeSign ? -magnitude : magnitude;
}

Result<std::vector<std::uint8_t>> ComposeIntervalCommand(const Settings& settings) {
  const std::uint16_t interval = settings.TransmitInterval;
  if (IsNmeaProtocol(settings.Protocol)) {
    if (interval < 1 || interval > kMaxNmeaTransmitInterval) {
      return RefuseInterval(interval, 1, kMaxNmeaTransmitInterval);
    }
    const std::string sentence =
        NmeaSentence("PGRMC1," + std::to_string(interval) + std::string(kPgrmc1EmptyFields, ','));
    return std::vector<std::uint8_t>(sentence.begin(), sentence.end());
  }
  if (interval > kMaxMotorolaTransmitInterval) {
    return RefuseInterval(interval, 0, kMaxMotorolaTransmitInterval);
  }
  const std::uint8_t data[] = {static_cast<std::uint8_t>(interval)};
  return settings.Protocol == kProtocolMotorolaOncore ? MotorolaMessage('E', 'a', data)
                                                      : MotorolaMessage('H', 'b', data);
}

}  // namespace orvik::core

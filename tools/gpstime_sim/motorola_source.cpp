#include "gpstime_sim/motorola_source.h"

#include <algorithm>
#include <cstdlib>
#include <span>

#include "core/checksums.h"
#include "gpstime_sim/satellites.h"

namespace orvik::tools {
namespace {

// Offsets within the data bytes (after the four header bytes).
constexpr std::size_t kOffsetMonth = 0;
constexpr std::size_t kOffsetDay = 1;
constexpr std::size_t kOffsetYear = 2;
constexpr std::size_t kOffsetHour = 4;
constexpr std::size_t kOffsetMinute = 5;
constexpr std::size_t kOffsetSecond = 6;
constexpr std::size_t kOffsetNanoseconds = 7;
constexpr std::size_t kOffsetLatitude = 11;
constexpr std::size_t kOffsetLongitude = 15;
constexpr std::size_t kOffsetHeight = 19;

constexpr std::size_t kHbDataBytes = 47;
constexpr std::size_t kHbOffsetHeightMsl = 23;
constexpr std::size_t kHbOffsetVisible = 35;
constexpr std::size_t kHbOffsetTracked = 36;

constexpr std::size_t kEaDataBytes = 69;
constexpr std::size_t kEaOffsetDopType = 33;
constexpr std::size_t kEaOffsetVisible = 34;
constexpr std::size_t kEaOffsetTracked = 35;
constexpr std::size_t kEaOffsetChannels = 36;
constexpr std::size_t kEaChannels = 8;
constexpr std::size_t kEaOffsetStatus = 68;

// The same place as the NMEA sentences: 59°25' N, 24°45' E, 40 m.
constexpr std::uint32_t kLatitudeMas = 59 * 3'600'000 + 25 * 60'000;
constexpr std::uint32_t kLongitudeMas = 24 * 3'600'000 + 45 * 60'000;
constexpr std::uint32_t kHeightCm = 5800;
constexpr std::uint32_t kHeightMslCm = 4000;

void PutBeU16(std::span<std::uint8_t> data, std::size_t offset, std::uint16_t value) {
  data[offset] = static_cast<std::uint8_t>(value >> 8);
  data[offset + 1] = static_cast<std::uint8_t>(value);
}

void PutBeU32(std::span<std::uint8_t> data, std::size_t offset, std::uint32_t value) {
  PutBeU16(data, offset, static_cast<std::uint16_t>(value >> 16));
  PutBeU16(data, offset + 2, static_cast<std::uint16_t>(value));
}

std::uint8_t CountByte(int count) { return static_cast<std::uint8_t>(std::clamp(count, 0, 255)); }

// Fills the fields both messages share: date, time, fraction, position, height.
void PutCommonFields(std::span<std::uint8_t> data, const core::DateTime& time) {
  data[kOffsetMonth] = static_cast<std::uint8_t>(time.month);
  data[kOffsetDay] = static_cast<std::uint8_t>(time.day);
  PutBeU16(data, kOffsetYear, time.year);
  data[kOffsetHour] = static_cast<std::uint8_t>(time.hour);
  data[kOffsetMinute] = static_cast<std::uint8_t>(time.minute);
  data[kOffsetSecond] = static_cast<std::uint8_t>(time.second);
  PutBeU32(data, kOffsetNanoseconds, time.millisecond * 1'000'000U);
  PutBeU32(data, kOffsetLatitude, kLatitudeMas);
  PutBeU32(data, kOffsetLongitude, kLongitudeMas);
  PutBeU32(data, kOffsetHeight, kHeightCm);
}

// Writes sign, hours and minutes of `offset_minutes` at `offset`.
void PutOffset(std::span<std::uint8_t> data, std::size_t offset, int offset_minutes) {
  constexpr std::uint8_t kNegative = 255;
  const int magnitude = std::abs(offset_minutes);
  data[offset] = offset_minutes < 0 ? kNegative : 0;
  data[offset + 1] = CountByte(magnitude / 60);
  data[offset + 2] = static_cast<std::uint8_t>(magnitude % 60);
}

}  // namespace

std::vector<std::uint8_t> BuildHb(const MotorolaFix& fix) {
  std::uint8_t data[kHbDataBytes] = {};
  PutCommonFields(data, fix.time);
  PutBeU32(data, kHbOffsetHeightMsl, kHeightMslCm);
  data[kHbOffsetVisible] = CountByte(fix.visible);
  data[kHbOffsetTracked] = CountByte(fix.tracked);
  return core::MotorolaMessage('H', 'b', data);
}

std::vector<std::uint8_t> BuildEa(const MotorolaFix& fix) {
  std::uint8_t data[kEaDataBytes] = {};
  PutCommonFields(data, fix.time);
  data[kEaOffsetDopType] = 0;
  data[kEaOffsetVisible] = CountByte(fix.visible);
  data[kEaOffsetTracked] = CountByte(fix.tracked);
  constexpr std::uint8_t kModeTracking = 8;
  constexpr std::uint8_t kStatusUsed = 0xA2;
  for (std::size_t channel = 0; channel < kEaChannels; ++channel) {
    const int index = static_cast<int>(channel);
    if (index >= fix.visible) break;
    const Satellite satellite = SatelliteAt(index);
    const std::size_t at = kEaOffsetChannels + channel * 4;
    data[at] = static_cast<std::uint8_t>(satellite.prn);
    if (index < fix.tracked) {
      data[at + 1] = kModeTracking;
      data[at + 2] = static_cast<std::uint8_t>(satellite.snr * 5);
      data[at + 3] = kStatusUsed;
    }
  }
  data[kEaOffsetStatus] = fix.tracked >= 4 ? 0x00 : 0x20;
  return core::MotorolaMessage('E', 'a', data);
}

std::vector<std::uint8_t> BuildGb(const core::DateTime& local, int offset_minutes) {
  constexpr std::size_t kGbOffsetSign = 7;
  std::uint8_t data[kGbLength - 7] = {};
  data[kOffsetMonth] = static_cast<std::uint8_t>(local.month);
  data[kOffsetDay] = static_cast<std::uint8_t>(local.day);
  PutBeU16(data, kOffsetYear, local.year);
  data[kOffsetHour] = static_cast<std::uint8_t>(local.hour);
  data[kOffsetMinute] = static_cast<std::uint8_t>(local.minute);
  data[kOffsetSecond] = static_cast<std::uint8_t>(local.second);
  PutOffset(data, kGbOffsetSign, offset_minutes);
  return core::MotorolaMessage('G', 'b', data);
}

std::vector<std::uint8_t> BuildAb(int offset_minutes) {
  std::uint8_t data[kAbLength - 7] = {};
  PutOffset(data, 0, offset_minutes);
  return core::MotorolaMessage('A', 'b', data);
}

}  // namespace orvik::tools

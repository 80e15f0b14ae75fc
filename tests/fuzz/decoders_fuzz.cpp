// libFuzzer target: any bytes as one framed NMEA sentence (five address
// bytes, then the body) and as a Motorola message, through the decoders.
// Whatever comes in, nothing may crash, read or write out of bounds, and a
// clock setting may only ever carry a real date and time.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/calendar.h"
#include "core/motorola_decoder.h"
#include "core/nmea_decoder.h"

namespace {

void CheckSetTime(const orvik::core::NmeaOutcome& outcome) {
  if (!outcome.set_time) return;
  const orvik::core::DateTime& t = *outcome.set_time;
  if (!orvik::core::IsValidDate(t.year, t.month, t.day) ||
      !orvik::core::IsValidTimeOfDay(t.hour, t.minute, t.second, t.millisecond)) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvik::core;
  static constexpr DateTime kPcNow{2026, 12, 2, 8, 12, 30, 1, 250};
  if (size < 6) return 0;
  Settings settings;
  settings.GmtHours = static_cast<std::int8_t>(data[0]) % 14;
  settings.OnlyMinSec = (data[0] & 0x80) != 0;

  std::array<std::uint8_t, 255> header{};
  header[0] = 5;
  for (std::size_t i = 0; i < 5; ++i) header[1 + i] = data[1 + i];
  std::array<std::uint8_t, 259> payload{};
  const std::size_t body_length = std::min<std::size_t>(size - 6, payload.size());
  for (std::size_t i = 0; i < body_length; ++i) payload[i] = data[6 + i];

  std::uint32_t counter = kInitialMessageCounter;
  SatelliteTracker satellites;
  if (body_length >= 5) {
    CheckSetTime(DecodeNmea(counter, satellites, header, payload, body_length, settings,
                            data[0] & 1, [] { return kPcNow; }));
  }
  // The same bytes as a Motorola message after "@@Ea" or "@@Hb".
  const std::uint8_t motorola_header[4] = {'@', '@', static_cast<std::uint8_t>(data[1] & 1 ? 'E' : 'H'),
                                           static_cast<std::uint8_t>(data[1] & 1 ? 'a' : 'b')};
  counter = kInitialMessageCounter;
  CheckSetTime(DecodeMotorola(counter, motorola_header, std::span<const std::uint8_t>(payload),
                              settings, [] { return kPcNow; }));
  return 0;
}

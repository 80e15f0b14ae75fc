// libFuzzer target: any bytes as one framed NMEA sentence (five address
// bytes, then the body) and as a Motorola message, through the decoders.
// Whatever comes in, nothing may crash, read or write out of bounds, and a
// clock candidate may only ever carry a real date and time.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

#include "core/calendar.h"
#include "core/motorola_decoder.h"
#include "core/nmea_decoder.h"

namespace {

void CheckClock(const orvik::core::DecodedMessage& outcome) {
  if (!outcome.clock) return;
  const orvik::core::DateTime t = outcome.clock->Local();
  if (!orvik::core::IsValidDate(t.year, t.month, t.day) ||
      !orvik::core::IsValidTimeOfDay(t.hour, t.minute, t.second, t.millisecond)) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace orvik::core;
  if (size < 1) return 0;
  Settings settings;
  settings.GmtHours = static_cast<std::int8_t>(data[0]) % 14;
  const std::span<const std::uint8_t> bytes(data + 1, size - 1);

  NmeaDecoder nmea;
  CheckClock(
      nmea.DecodeNmea(bytes, settings, data[0] & 1, RolloverCheck{SettableSpanOfThisBuild(), 0}));

  // The same bytes as a Motorola message: four header bytes, then the rest.
  if (bytes.size() < 4) return 0;
  CheckClock(MotorolaDecoder{}.DecodeMotorola(
      bytes.first(4), bytes.subspan(4),
      (data[0] & 2) ? std::optional<std::int64_t>(data[0]) : std::nullopt,
      RolloverCheck{SettableSpanOfThisBuild(), 0}));
  return 0;
}

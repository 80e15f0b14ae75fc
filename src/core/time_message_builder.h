// The LAN time record from a decoded receiver message. Pure; any thread.
#pragma once

#include <cstdint>
#include <span>

#include "core/date_time.h"
#include "core/time_message.h"

namespace orvik::core {

// Returns the record for a message whose data (or, for NMEA, the data the
// decoder rewrote into the same layout) starts at payload[0]: bytes 0..35
// copied; for an "Hb" message (`message_letter` 'b') the satellite counts
// sit one byte later, so byte 34 := payload[35] and byte 35 := payload[36];
// then the end mark. REQUIRES: payload.size() >= 37.
TimeMessage BuildTimeMessage(std::span<const std::uint8_t> payload, std::uint8_t message_letter);

// Returns the record of a time message that carries no receiver data of its
// own (NMEA): the local date and time, the two counts, bytes 7..33 zero.
TimeMessage TimeMessageOf(const DateTime& local, std::uint8_t visible, std::uint8_t tracked);

}  // namespace orvik::core

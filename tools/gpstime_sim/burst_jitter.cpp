#include "gpstime_sim/burst_jitter.h"

#include <algorithm>

namespace orvik::tools {

BurstJitter::BurstJitter(std::int64_t limit_ms, std::optional<std::uint64_t> seed)
    : draw_(0, std::max<std::int64_t>(limit_ms, 0) * 1000),
      engine_(seed ? *seed : std::random_device{}()) {}

std::chrono::microseconds BurstJitter::Next() { return std::chrono::microseconds(draw_(engine_)); }

}  // namespace orvik::tools

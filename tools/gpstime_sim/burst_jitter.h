// BurstJitter: how much later than scheduled each live time message's output
// begins (--jitter-ms), as from a receiver whose output wanders: drawn
// uniformly from 0 to the limit, to the microsecond, independently for every
// message. A given seed (--seed) repeats the sequence. One object per feed;
// not for concurrent use.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>

namespace orvik::tools {

class BurstJitter {
 public:
  // `limit_ms` >= 0; without a seed, one is taken from std::random_device.
  BurstJitter(std::int64_t limit_ms, std::optional<std::uint64_t> seed);

  // The lateness of the next message, within [0, limit].
  std::chrono::microseconds Next();

 private:
  std::uniform_int_distribution<std::int64_t> draw_;
  std::mt19937_64 engine_;
};

}  // namespace orvik::tools

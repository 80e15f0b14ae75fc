// DistinctSatellites: a set of satellites, each named by its constellation
// and its number, so that one satellite reported twice (on two signals, or by
// two talkers of one constellation) counts once. Bounded: it holds numbers
// 1..kMaxSatelliteNumber of at most kMaxConstellations constellations.
// Pure; a value type, used by one thread at a time.
#pragma once

#include <array>
#include <bitset>
#include <cstddef>

namespace orvik::core {

// A constellation as two letters: the NMEA talker of its satellites.
using Constellation = std::array<char, 2>;

// Returns the constellation a talker reports: "BD" is the same as "GB"
// (BeiDou), "QZ" the same as "GQ" (QZSS); every other talker stands for
// itself ("GN" included: its satellites are told apart by their numbers).
Constellation ConstellationOfTalker(Constellation talker);

class DistinctSatellites {
 public:
  static constexpr int kMaxSatelliteNumber = 999;
  static constexpr std::size_t kMaxConstellations = 12;
  using Numbers = std::bitset<kMaxSatelliteNumber + 1>;

  // Adds one satellite. A number outside 1..kMaxSatelliteNumber, or a
  // constellation beyond the first kMaxConstellations, is not kept.
  void Add(Constellation constellation, int number);
  // Adds every satellite of `numbers` (bit n: satellite n) of one constellation.
  void Add(Constellation constellation, const Numbers& numbers);

  // The number of distinct satellites held.
  int Count() const;

 private:
  Numbers* Of(Constellation constellation);

  std::array<Constellation, kMaxConstellations> constellations_{};
  std::array<Numbers, kMaxConstellations> numbers_{};
  std::size_t size_ = 0;
};

}  // namespace orvik::core

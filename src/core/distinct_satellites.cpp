#include "core/distinct_satellites.h"

namespace orvik::core {

Constellation ConstellationOfTalker(Constellation talker) {
  if (talker == Constellation{'B', 'D'}) return {'G', 'B'};
  if (talker == Constellation{'Q', 'Z'}) return {'G', 'Q'};
  return talker;
}

DistinctSatellites::Numbers* DistinctSatellites::Of(Constellation constellation) {
  for (std::size_t i = 0; i < size_; ++i) {
    if (constellations_[i] == constellation) return &numbers_[i];
  }
  if (size_ == kMaxConstellations) return nullptr;
  constellations_[size_] = constellation;
  numbers_[size_].reset();
  return &numbers_[size_++];
}

void DistinctSatellites::Add(Constellation constellation, int number) {
  if (number < 1 || number > kMaxSatelliteNumber) return;
  if (Numbers* numbers = Of(constellation)) numbers->set(static_cast<std::size_t>(number));
}

void DistinctSatellites::Add(Constellation constellation, const Numbers& numbers) {
  if (numbers.none()) return;
  if (Numbers* held = Of(constellation)) *held |= numbers;
}

int DistinctSatellites::Count() const {
  int count = 0;
  for (std::size_t i = 0; i < size_; ++i) count += static_cast<int>(numbers_[i].count());
  return count;
}

}  // namespace orvik::core

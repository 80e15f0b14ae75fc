#include "gpstime_sim/burst_jitter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <vector>

namespace orvik::tools {
namespace {

using std::chrono::microseconds;

std::vector<microseconds> Draws(BurstJitter jitter, int count) {
  std::vector<microseconds> draws;
  for (int i = 0; i < count; ++i) draws.push_back(jitter.Next());
  return draws;
}

TEST(BurstJitter, DrawsSpreadOverZeroToTheLimitAndASeedRepeatsThem) {
  constexpr int kCount = 2000;
  const std::vector<microseconds> draws = Draws(BurstJitter(100, 7), kCount);
  std::set<microseconds> distinct(draws.begin(), draws.end());
  EXPECT_GT(distinct.size(), kCount / 2u);  // independent draws, not one value
  int low = 0;
  int high = 0;
  for (const microseconds draw : draws) {
    ASSERT_GE(draw.count(), 0);
    ASSERT_LE(draw.count(), 100'000);
    low += draw < microseconds(10'000) ? 1 : 0;
    high += draw >= microseconds(90'000) ? 1 : 0;
  }
  // Uniform: both ends of the range are reached about equally (10% each).
  EXPECT_GT(low, kCount / 20);
  EXPECT_GT(high, kCount / 20);
  EXPECT_EQ(Draws(BurstJitter(100, 7), 50), std::vector(draws.begin(), draws.begin() + 50));
  EXPECT_NE(Draws(BurstJitter(100, 8), 50), std::vector(draws.begin(), draws.begin() + 50));
}

TEST(BurstJitter, NoLimitMeansNoJitter) {
  for (const microseconds draw : Draws(BurstJitter(0, std::nullopt), 20)) {
    EXPECT_EQ(draw.count(), 0);
  }
}

}  // namespace
}  // namespace orvik::tools

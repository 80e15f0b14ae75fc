// How many connections one source address may hold, and how they are counted.
#include "service/host_connection_quota.h"

#include <gtest/gtest.h>

namespace orvik::service {
namespace {

TEST(HostConnectionQuotaTest, OneHostHoldsAtMostASixtyFourthOfThePlaces) {
  struct Case {
    std::size_t places, per_host;
  };
  for (const Case& c : {Case{4096, 64}, Case{4095, 63}, Case{960, 15}, Case{128, 2}, Case{64, 1},
                        Case{63, 1}, Case{1, 1}}) {
    EXPECT_EQ(ConnectionsPerHost(c.places), c.per_host) << c.places << " places";
  }
}

TEST(HostConnectionQuotaTest, EachHostIsCountedOnItsOwnAndAReleaseFreesAPlace) {
  HostConnectionQuota quota(2);
  EXPECT_TRUE(quota.TryAdmit("10.0.0.1"));
  EXPECT_TRUE(quota.TryAdmit("10.0.0.1"));
  EXPECT_FALSE(quota.TryAdmit("10.0.0.1"));
  EXPECT_TRUE(quota.TryAdmit("10.0.0.2")) << "another host has its own share";
  EXPECT_EQ(quota.CountOf("10.0.0.1"), 2u);

  quota.Release("10.0.0.1");
  EXPECT_TRUE(quota.TryAdmit("10.0.0.1"));
  quota.Release("10.0.0.9");  // never admitted: nothing changes
  EXPECT_EQ(quota.CountOf("10.0.0.9"), 0u);
  EXPECT_EQ(quota.CountOf("10.0.0.2"), 1u);
}

}  // namespace
}  // namespace orvik::service

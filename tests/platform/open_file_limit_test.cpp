#include "platform/posix/open_file_limit.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

namespace orvik::platform {
namespace {

TEST(OpenFileLimitTest, SoftLimitIsRaisedToTheHardOne) {
  rlimit limit{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
  if (limit.rlim_max == RLIM_INFINITY || limit.rlim_max <= 64) {
    GTEST_SKIP() << "no finite hard limit above 64 to raise to";
  }
  // This test process only: start from a low soft limit, as many systems do.
  rlimit low = limit;
  low.rlim_cur = 64;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);

  EXPECT_EQ(RaiseOpenFileLimit(), limit.rlim_max);
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
  EXPECT_EQ(limit.rlim_cur, limit.rlim_max);
  EXPECT_EQ(RaiseOpenFileLimit(), limit.rlim_max) << "a second call changes nothing";
}

}  // namespace
}  // namespace orvik::platform

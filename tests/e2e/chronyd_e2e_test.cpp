// A real chronyd (in its mode that never touches the clock) fed with samples
// through the program's own refclock socket and chrony feed.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "core/chrony_sample.h"
#include "core/settings.h"
#include "e2e/chronyd_harness.h"
#include "platform/posix/posix_refclock_socket.h"
#include "service/chrony_feed.h"
#include "service/event_log_writer.h"
#include "support/wait_until.h"

namespace orvik::testing {
namespace {

using namespace std::chrono_literals;

constexpr std::int64_t kOffsetNs = 3'000'000;  // the system clock 3 ms slow
constexpr auto kSelectionLimit = 10s;

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// Calls `send_one` about twice a second (chronyd keeps a sample only for
// 2^(poll+1) = 2 s) until chronyd selects the GPS source or `limit` passes.
template <typename SendOne>
bool FeedUntilSelected(const ChronydUnderTest& chronyd, SendOne send_one,
                       std::chrono::milliseconds limit) {
  return WaitUntil(
      [&] {
        send_one();
        return chronyd.GpsSelected();
      },
      limit, 500ms);
}

TEST(Chronyd, SelectsSamplesFromTheRefclockSocketAndEstimatesTheirOffset) {
  ChronydUnderTest chronyd;
  ASSERT_TRUE(chronyd.Start(10s));
  platform::PosixRefclockSocket socket(chronyd.RefclockSocket().string());
  std::vector<std::string> failures;
  const bool selected = FeedUntilSelected(
      chronyd,
      [&] {
        const core::Status sent = socket.Send(core::ComposeChronySample(NowNs(), kOffsetNs));
        if (!sent.ok()) failures.push_back(sent.message());
      },
      kSelectionLimit);
  EXPECT_TRUE(failures.empty()) << failures.front();
  ASSERT_TRUE(selected) << chronyd.Chronyc("sources") << chronyd.Log();
  const std::optional<double> offset = chronyd.EstimatedOffsetSeconds();
  ASSERT_TRUE(offset.has_value()) << chronyd.Chronyc("tracking");
  // The samples are exact, so chronyd's estimate is too; 1 ms leaves room for
  // the time between reading the clock and the send.
  EXPECT_NEAR(*offset, 0.003, 0.001) << chronyd.Chronyc("tracking");
}

class NoLog : public service::EventLogWriter {
 public:
  void WriteLog(std::string_view) override {}
};

TEST(Chronyd, TheFeedTellsOfAMissingSocketOnceAndRecoversWhenChronydStarts) {
  ChronydUnderTest chronyd;
  core::Settings settings;
  settings.ChronySocketPath = chronyd.RefclockSocket().string();
  NoLog log;
  platform::PosixRefclockSocket socket(settings.ChronySocketPath);
  std::vector<std::string> problems;
  service::ChronyFeed feed(settings, log, socket,
                           [&](const std::string& problem) { problems.push_back(problem); });

  for (int i = 0; i < 3; ++i) feed.OnFreshTime(NowNs(), kOffsetNs);  // chronyd not yet there
  ASSERT_TRUE(chronyd.Start(10s));
  const bool selected = FeedUntilSelected(
      chronyd, [&] { feed.OnFreshTime(NowNs(), kOffsetNs); }, kSelectionLimit);
  ASSERT_TRUE(selected) << chronyd.Chronyc("sources") << chronyd.Log();
  EXPECT_EQ(problems, (std::vector<std::string>{
                          "chrony socket " + settings.ChronySocketPath + ": no such socket", ""}));
}

}  // namespace
}  // namespace orvik::testing

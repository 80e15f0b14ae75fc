// ChronyFeed: one sample per fresh time, and what the operator is told when
// chronyd's socket fails and recovers.
#include "service/chrony_feed.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/chrony_sample.h"
#include "fakes/fake_refclock_socket.h"
#include "fakes/service/recording_decoders.h"

namespace orvik::testing {
namespace {

using Lines = std::vector<std::string>;

constexpr const char* kPath = "/run/orvik-gps.sock";
constexpr std::int64_t kReference = 1'796'774'400'000'000'000;

core::Settings ChronySettings(std::string path, bool logging = true) {
  core::Settings settings;
  settings.ChronySocketPath = std::move(path);
  settings.LoggingEnabled = logging;
  return settings;
}

core::Status Refused(const char* reason) {
  return core::Status::Error(core::StatusCode::kSocketError, reason);
}

struct FeedUnderTest {
  explicit FeedUnderTest(const core::Settings& settings)
      : feed(settings, log, socket, [this](const std::string& p) { problems.push_back(p); }) {}

  // One fresh time whose send answers `answer`.
  void Send(core::Status answer) {
    socket.AnswerWith(std::move(answer));
    feed.OnFreshTime(kReference, 3'000'000);
  }

  RecordingLogWriter log;
  FakeRefclockSocket socket;
  Lines problems;
  service::ChronyFeed feed;
};

TEST(ChronyFeed, SaysAtStartThatChronyKeepsTheClockAndSendsTheComposedSample) {
  FeedUnderTest t(ChronySettings(kPath));
  EXPECT_TRUE(t.feed.Enabled());
  EXPECT_EQ(t.log.Lines(), Lines{"PC clock left to chrony through /run/orvik-gps.sock"});
  t.feed.OnFreshTime(kReference + 123'456'789, -250'000'000);
  const core::ChronySample expected =
      core::ComposeChronySample(kReference + 123'456'789, -250'000'000);
  ASSERT_EQ(t.socket.Sent().size(), 1u);
  EXPECT_EQ(t.socket.Sent()[0], std::vector<std::uint8_t>(expected.begin(), expected.end()));
}

TEST(ChronyFeed, WithoutAPathIsOffAndSilent) {
  FeedUnderTest t(ChronySettings(""));
  t.feed.OnFreshTime(kReference, 0);
  EXPECT_FALSE(t.feed.Enabled());
  EXPECT_TRUE(t.log.Lines().empty());
  EXPECT_TRUE(t.socket.Sent().empty());
  EXPECT_TRUE(t.problems.empty());
}

TEST(ChronyFeed, TellsEachNewFailureOnceAndTheRecovery) {
  FeedUnderTest t(ChronySettings(kPath));
  t.Send(core::Status::Ok());
  t.Send(core::Status::Ok());
  for (int i = 0; i < 5; ++i) t.Send(Refused("no such socket"));  // chronyd stopped
  for (int i = 0; i < 3; ++i) t.Send(Refused("permission denied"));
  t.Send(Refused("no such socket"));
  t.Send(core::Status::Ok());
  t.Send(core::Status::Ok());
  t.Send(Refused("no such socket"));

  const std::string prefix = "chrony socket /run/orvik-gps.sock: ";
  EXPECT_EQ(t.socket.Sent().size(), 14u) << "every fresh time is tried";
  EXPECT_EQ(t.log.Lines(), (Lines{
                               "PC clock left to chrony through /run/orvik-gps.sock",
                               prefix + "no such socket",
                               prefix + "permission denied",
                               prefix + "no such socket",
                               prefix + "samples delivered again",
                               prefix + "no such socket",
                           }));
  EXPECT_EQ(t.problems, (Lines{"", prefix + "no such socket", prefix + "permission denied",
                               prefix + "no such socket", "", prefix + "no such socket"}));
}

TEST(ChronyFeed, AFailureAtTheFirstSampleIsToldAndLoggingOffKeepsTheLogEmpty) {
  FeedUnderTest t(ChronySettings(kPath, /*logging=*/false));
  t.Send(Refused("no such socket"));
  t.Send(Refused("no such socket"));
  t.Send(core::Status::Ok());
  EXPECT_TRUE(t.log.Lines().empty());
  EXPECT_EQ(t.problems, (Lines{"chrony socket /run/orvik-gps.sock: no such socket", ""}));
}

}  // namespace
}  // namespace orvik::testing

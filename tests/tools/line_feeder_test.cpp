// The line-timing benchmark's own feeder: what it sends must be what its
// rows claim (sizes, whole or cut sentences, valid checksums, the period's
// time), never earlier than a real line would deliver it, and its figures
// must read the records and the program's stderr right.
#include "bench/line_feeder.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "bench/line_bursts.h"
#include "bench/line_timing_figures.h"
#include "platform/posix/unique_fd.h"
#include "support/dates.h"
#include "support/nmea_text.h"
#include "support/temp_dir.h"

namespace orvik::bench {
namespace {

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;

std::int64_t UtcNowNs() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec * kNanosPerSecond + now.tv_nsec;
}

TEST(LineBursts, EachShapeHasItsSizeAndItsSentencesTheirChecksums) {
  const std::int64_t utc_ns =
      testing::UtcSeconds(2026, 12, 7, 13, 5, 9) * kNanosPerSecond + 166'666'667;
  const struct {
    const char* legend;
    BurstShape shape;
    std::size_t size;   // 0: not fixed
    std::size_t whole;  // whole sentences
    bool ends_cut;      // a fragment without CR LF at the end
  } cases[] = {
      {"clean", {3, 0, false}, 0, 4, false},
      {"cut tail 300", {3, 300, true}, 300, 4, true},
      {"cut tail 150", {1, 150, true}, 150, 2, true},
      {"never pauses", {5, 478, false}, 478, 6, false},
      {"10 Hz", {0, 77, false}, 77, 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    const std::string burst = BuildBurst(c.shape, utc_ns);
    if (c.size != 0) {
      EXPECT_EQ(burst.size(), c.size);
    }
    const std::vector<std::string> lines = testing::LinesWithEnds(burst);
    ASSERT_EQ(lines.size(), c.whole + (c.ends_cut ? 1 : 0));
    for (std::size_t i = 0; i < c.whole; ++i) {
      EXPECT_TRUE(testing::HasValidNmeaChecksum(lines[i])) << lines[i];
      EXPECT_EQ(testing::NmeaFields(lines[i])[0], i == 0 ? "GPRMC" : "GPGGA");
      EXPECT_EQ(testing::NmeaFields(lines[i])[1], "130509.167");  // rounded to the ms
    }
    EXPECT_EQ(testing::NmeaFields(lines[0])[9], "071226");
    if (c.ends_cut) {
      EXPECT_TRUE(lines.back().starts_with("$GPGGA"));
      EXPECT_EQ(lines.back().find('\n'), std::string::npos);
    }
  }
}

// Opens the feeder's device as a program would: raw, not blocking.
platform::UniqueFd OpenRaw(const std::string& path) {
  platform::UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  termios settings{};
  if (fd.valid() && ::tcgetattr(fd.get(), &settings) == 0) {
    ::cfmakeraw(&settings);
    ::tcsetattr(fd.get(), TCSANOW, &settings);
  }
  return fd;
}

// Each byte reaches the port no earlier than its stop bit would on a real
// line from the start of its period; with clumps, a clump only once its last
// byte is due. The backlog is in the port before any of it.
TEST(LineFeeder, PacesEachPeriodsBurstFromItsStartAndKeepsTheBacklogFirst) {
  const testing::TempDir dir;
  ASSERT_TRUE(dir.Ok());
  for (const std::size_t clump : {std::size_t{1}, std::size_t{62}}) {
    SCOPED_TRACE("clump " + std::to_string(clump));
    std::string error;
    const auto feeder = LineFeeder::Open(dir.path(), clump == 1 ? 3 : 4, error);
    ASSERT_TRUE(feeder) << error;
    FeedPlan plan;
    plan.baud = 9600;
    plan.period_ns = kNanosPerSecond / 4;
    plan.clump = clump;
    const FeedFigures backlog_figures = feeder->WriteBacklog(plan, 1);
    const auto backlog = static_cast<std::size_t>(backlog_figures.bytes_sent);
    EXPECT_EQ(backlog, 4 * BuildBurst(plan.shape, 0).size());
    EXPECT_EQ(backlog_figures.bytes_dropped, 0);
    const platform::UniqueFd port =
        OpenRaw((dir.path() / ("COM" + std::to_string(clump == 1 ? 3 : 4))).string());
    ASSERT_TRUE(port.valid());
    const std::int64_t first = (UtcNowNs() / plan.period_ns + 2) * plan.period_ns;
    feeder->Start(plan, first, first + 2 * plan.period_ns);

    std::string data;
    std::vector<std::int64_t> arrival;  // per byte: the end of the read that got it
    const std::size_t burst_size = BuildBurst(plan.shape, 0).size();
    const std::int64_t give_up = first + 3 * kNanosPerSecond;
    while (data.size() < backlog + 2 * burst_size && UtcNowNs() < give_up) {
      pollfd entry{port.get(), POLLIN, 0};
      if (::poll(&entry, 1, 100) <= 0) continue;
      char chunk[1024];
      const ssize_t count = ::read(port.get(), chunk, sizeof chunk);
      if (count <= 0) continue;
      data.append(chunk, static_cast<std::size_t>(count));
      arrival.insert(arrival.end(), static_cast<std::size_t>(count), UtcNowNs());
    }
    const FeedFigures figures = feeder->Stop();
    EXPECT_EQ(figures.bursts, 2);
    EXPECT_EQ(figures.bytes_dropped, 0);
    ASSERT_EQ(data.size(), backlog + 2 * burst_size);
    const double character_ns = 1e10 / plan.baud;
    for (std::size_t i = backlog; i < data.size(); ++i) {
      const std::size_t in_burst = (i - backlog) % burst_size;
      const std::int64_t period =
          first + static_cast<std::int64_t>((i - backlog) / burst_size) * plan.period_ns;
      const std::size_t counted =
          clump == 1 ? in_burst + 1 : std::min((in_burst / clump + 1) * clump, burst_size);
      ASSERT_GE(static_cast<double>(arrival[i]),
                static_cast<double>(period) + character_ns * static_cast<double>(counted))
          << "byte " << in_burst << " of a burst came early";
    }
  }
}

TEST(LineTimingFigures, AgesAreAgainstUtcAndStderrLinesAreCountedOnce) {
  const std::int64_t second = testing::UtcSeconds(2026, 12, 31, 23, 59, 59) * kNanosPerSecond;
  // The program's local time is UTC plus 2 h: 2027-01-01 01:59:59.
  ReceivedRecord received{{1, 1, 7, 235, 1, 59, 59}, second + 1'250'000'000};
  EXPECT_DOUBLE_EQ(RecordAgeMs(received, 2), 1250.0);
  received.record[1] = 32;  // no such day
  EXPECT_TRUE(std::isnan(RecordAgeMs(received, 2)));

  const auto lines = DistinctLines("a: one\r\nb: two\na: one\n\nb: two\na: one");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::make_pair(std::string("a: one"), 3));
  EXPECT_EQ(lines[1], std::make_pair(std::string("b: two"), 2));
}

}  // namespace
}  // namespace orvik::bench

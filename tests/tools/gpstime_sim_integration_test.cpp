// Runs the real gpstime-sim program on a pty and reads what it sends. It
// starts through the tests' launcher, so it never holds CAP_SYS_TIME. Every
// wait is bounded; the child is ended by its PID if it overstays.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/posix/unique_fd.h"
#include "support/child_process.h"
#include "support/dates.h"
#include "support/file_text.h"
#include "support/nmea_text.h"
#include "support/temp_dir.h"

namespace orvik::tools {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using platform::UniqueFd;
using testing::ChildProcess;
using testing::TempDir;

// The simulator with `args`, its stdout on a pipe.
std::unique_ptr<ChildProcess> StartSim(std::vector<std::string> args) {
  testing::ProcessOptions options;
  options.argv = {GPSTIME_SIM_PATH};
  options.argv.insert(options.argv.end(), args.begin(), args.end());
  options.capture_stdout = true;
  return std::make_unique<ChildProcess>(options);
}

// Opens the port as a program would: raw, without changing what is queued.
UniqueFd OpenRaw(const std::string& path) {
  UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid()) return fd;
  termios settings{};
  ::tcgetattr(fd.get(), &settings);
  ::cfmakeraw(&settings);
  ::tcsetattr(fd.get(), TCSANOW, &settings);
  return fd;
}

std::vector<std::string> RmcSentences(const std::string& data) {
  std::vector<std::string> rmc;
  for (const std::string& line : testing::LinesWithEnds(data)) {
    if (line.starts_with("$GPRMC,")) rmc.push_back(line);
  }
  return rmc;
}

std::int64_t RealtimeNs() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// What a reader of the port saw: each byte with the CLOCK_REALTIME
// nanoseconds at the end of the read that returned it (never before the
// byte was there).
struct TimedBytes {
  std::string data;
  std::vector<std::int64_t> arrival_ns;
};

template <typename Enough>
TimedBytes ReadTimedUntil(int fd, std::chrono::milliseconds limit, Enough enough) {
  TimedBytes read;
  const auto give_up = Clock::now() + limit;
  while (!enough(read.data) && Clock::now() < give_up) {
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, 100) <= 0) continue;
    char chunk[1024];
    const ssize_t count = ::read(fd, chunk, sizeof chunk);
    const std::int64_t now = RealtimeNs();
    if (count <= 0) continue;
    read.data.append(chunk, static_cast<std::size_t>(count));
    read.arrival_ns.insert(read.arrival_ns.end(), static_cast<std::size_t>(count), now);
  }
  return read;
}

std::int64_t UtcMs(int year, int month, int day, int hour, int minute, int second, int ms) {
  return testing::UtcSeconds(year, month, day, hour, minute, second) * 1000 + ms;
}

// One whole time message of a live feed: the UTC instant it stands for and
// the positions of the first and last byte of its output.
struct Burst {
  std::int64_t utc_ms = 0;
  std::size_t first = 0;
  std::size_t last = 0;
};

// NMEA: a group runs from its GPRMC to the byte before the next GPRMC, so
// the last group read counts only once the next one has begun.
std::vector<Burst> NmeaBursts(const std::string& data) {
  std::vector<Burst> bursts;
  std::size_t at = data.find("$GPRMC,");
  while (at != std::string::npos) {
    const std::size_t next = data.find("$GPRMC,", at + 1);
    if (next == std::string::npos) break;
    const std::vector<std::string> f = orvik::testing::NmeaFields(data.substr(at, next - at));
    if (f.size() < 10 || f[1].size() != 10 || f[9].size() != 6) break;
    const auto number = [](const std::string& text, std::size_t from, std::size_t count) {
      return std::stoi(text.substr(from, count));
    };
    bursts.push_back(
        {UtcMs(2000 + number(f[9], 4, 2), number(f[9], 2, 2), number(f[9], 0, 2),
               number(f[1], 0, 2), number(f[1], 2, 2), number(f[1], 4, 2), number(f[1], 7, 3)),
         at, next - 1});
    at = next;
  }
  return bursts;
}

// Motorola "@@Hb": 54 bytes, month, day, year (2 bytes), hour, minute and
// second right after the header.
std::vector<Burst> HbBursts(const std::string& data) {
  std::vector<Burst> bursts;
  for (std::size_t at = data.find("@@Hb"); at != std::string::npos && at + 54 <= data.size();
       at = data.find("@@Hb", at + 54)) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(data[at + 4 + i]); };
    bursts.push_back(
        {UtcMs(byte(2) * 256 + byte(3), byte(0), byte(1), byte(4), byte(5), byte(6), 0), at,
         at + 53});
  }
  return bursts;
}

int MillisOfDay(const std::string& hhmmss_sss) {
  return ((std::stoi(hhmmss_sss.substr(0, 2)) * 60 + std::stoi(hhmmss_sss.substr(2, 2))) * 60 +
          std::stoi(hhmmss_sss.substr(4, 2))) *
             1000 +
         std::stoi(hhmmss_sss.substr(7, 3));
}

TEST(GpstimeSimProgram, SendsCountedRmcSentencesThenEndsByItself) {
  TempDir dir;
  const auto sim = StartSim({"--dir", dir.path(), "--count", "3", "--interval", "0.2", "--quiet"});
  ASSERT_TRUE(sim->started()) << sim->failure();
  const std::string link = dir.path() / "COM2";

  const std::optional<std::string> first = sim->ReadLine(10s);
  ASSERT_TRUE(first.has_value()) << "no start-up line";
  EXPECT_TRUE(first->starts_with("gpstime-sim: /dev/pts/")) << *first;
  EXPECT_TRUE(first->ends_with(" linked as " + link)) << *first;

  const UniqueFd port = OpenRaw(link);
  ASSERT_TRUE(port.valid()) << link;
  const std::string data = ReadTimedUntil(port.get(), 15s, [](const std::string& d) {
                             return RmcSentences(d).size() >= 3;
                           }).data;
  const std::vector<std::string> rmc = RmcSentences(data);
  ASSERT_EQ(rmc.size(), 3u) << data;
  for (std::size_t i = 0; i < rmc.size(); ++i) {
    SCOPED_TRACE(rmc[i]);
    EXPECT_TRUE(orvik::testing::HasValidNmeaChecksum(rmc[i]));
    const std::vector<std::string> fields = orvik::testing::NmeaFields(rmc[i]);
    ASSERT_GE(fields.size(), 10u);
    EXPECT_EQ(fields[2], "A");
    EXPECT_EQ(fields[9].size(), 6u);
    ASSERT_EQ(fields[1].size(), 10u);  // hhmmss.sss
    if (i > 0) {
      const int step =
          MillisOfDay(fields[1]) - MillisOfDay(orvik::testing::NmeaFields(rmc[i - 1])[1]);
      EXPECT_EQ((step + 86'400'000) % 86'400'000, 200);  // --interval 0.2 in the message times
    }
  }

  const std::optional<int> status = sim->WaitForExit(15s);
  ASSERT_TRUE(status.has_value()) << "gpstime-sim did not end after --count";
  EXPECT_TRUE(WIFEXITED(*status));
  EXPECT_EQ(WEXITSTATUS(*status), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(link)) << "link left behind";
}

// A program that dates a message by the first byte of its output must find
// each byte no earlier than a real line would deliver it: the first one
// character time (10 bits) after the whole second plus --delay-ms, the last
// one after the whole message's line time. Only these lower bounds are
// checked: how late the bytes come depends on the machine's load.
TEST(GpstimeSimProgram, PacedLiveOutputNeverComesBeforeTheSecondPlusDelayAndLineTime) {
  const struct {
    const char* protocol;
    int delay_ms;
    int baud;
    std::vector<Burst> (*bursts)(const std::string&);
  } cases[] = {
      {"nmea", 0, 4800, NmeaBursts},
      {"m12", 250, 9600, HbBursts},
  };
  // The simulator and this test read the clock at different moments.
  constexpr std::int64_t kReadingSlackNs = 300'000;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.protocol);
    TempDir dir;
    const auto sim =
        StartSim({"--dir", dir.path(), "--protocol", c.protocol, "--pace", "bytes", "--delay-ms",
                  std::to_string(c.delay_ms), "--count", "4", "--quiet"});
    ASSERT_TRUE(sim->started()) << sim->failure();
    ASSERT_TRUE(sim->ReadLine(10s).has_value()) << "no start-up line";
    const UniqueFd port = OpenRaw(dir.path() / "COM2");
    ASSERT_TRUE(port.valid());

    const TimedBytes read = ReadTimedUntil(
        port.get(), 15s, [&](const std::string& data) { return c.bursts(data).size() >= 3; });
    const std::vector<Burst> bursts = c.bursts(read.data);
    ASSERT_GE(bursts.size(), 3u) << read.data;
    const double character_ns = 1e10 / c.baud;
    for (std::size_t i = 0; i < bursts.size(); ++i) {
      const Burst& b = bursts[i];
      SCOPED_TRACE("message " + std::to_string(i));
      EXPECT_EQ(b.utc_ms % 1000, 0);
      if (i > 0) {
        EXPECT_EQ(b.utc_ms - bursts[i - 1].utc_ms, 1000);
      }
      const double begin_ns = b.utc_ms * 1e6 + c.delay_ms * 1e6 - kReadingSlackNs;
      EXPECT_GE(read.arrival_ns[b.first], begin_ns + character_ns);
      EXPECT_GE(read.arrival_ns[b.last],
                begin_ns + static_cast<double>(b.last - b.first + 1) * character_ns);
    }
  }
}

// The write log is a latency reference: each RMC's stamp must lie between
// the second its group stands for and the moment a reader had its line feed.
TEST(GpstimeSimProgram, WriteLogStampsEachSentenceEndBeforeAReaderHasIt) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  const std::string log = (dir.path() / "writes.log").string();
  const auto sim = StartSim({"--dir", dir.path().string(), "--rmc-last", "--pace", "lines",
                             "--log-writes", log, "--count", "2", "--quiet"});
  ASSERT_TRUE(sim->started());
  ASSERT_TRUE(sim->ReadLine(10s).has_value()) << "no start-up line";
  const UniqueFd port = OpenRaw((dir.path() / "COM2").string());
  ASSERT_TRUE(port.valid());
  const TimedBytes read = ReadTimedUntil(port.get(), 15s, [](const std::string& data) {
    return RmcSentences(data).size() >= 2 && data.ends_with('\n');  // the last RMC whole
  });
  ASSERT_TRUE(sim->WaitForExit(15s).has_value());

  std::vector<std::int64_t> rmc_line_feeds;  // reader's arrival of each RMC's LF
  for (std::size_t at = read.data.find("$GPRMC"); at != std::string::npos;
       at = read.data.find("$GPRMC", at + 1)) {
    const std::size_t lf = read.data.find('\n', at);
    ASSERT_NE(lf, std::string::npos);
    rmc_line_feeds.push_back(read.arrival_ns[lf]);
  }
  std::vector<std::string> names;
  std::vector<std::int64_t> rmc_stamps;
  std::int64_t previous_stamp = 0;
  for (const std::string& line : testing::LinesWithEnds(testing::ReadFileText(log))) {
    char name[8] = {};
    long long utc_ms = 0;
    long long stamp = 0;
    ASSERT_EQ(std::sscanf(line.c_str(), "%7s %lld %lld", name, &utc_ms, &stamp), 3) << line;
    names.emplace_back(name);
    EXPECT_EQ(utc_ms % 1000, 0) << line;
    EXPECT_GE(stamp, utc_ms * 1'000'000) << line;  // paced: never before its second
    EXPECT_GT(stamp, previous_stamp) << line;      // paced: each sentence after the last
    previous_stamp = stamp;
    if (names.back() == "GPRMC") rmc_stamps.push_back(stamp);
  }
  const std::vector<std::string> group = {"GPGGA", "GPGSA", "GPGSV", "GPGSV", "GPRMC"};
  ASSERT_EQ(names.size(), 2 * group.size());
  for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(names[i], group[i % group.size()]);
  ASSERT_EQ(rmc_stamps.size(), rmc_line_feeds.size());
  for (std::size_t i = 0; i < rmc_stamps.size(); ++i) {
    EXPECT_LE(rmc_stamps[i], rmc_line_feeds[i]) << "RMC " << i;
  }
}

TEST(GpstimeSimProgram, PrintsCommandsAndEndsCleanlyOnSigterm) {
  TempDir dir;
  const auto sim = StartSim({"--dir", dir.path(), "--port", "4", "--protocol", "oncore"});
  ASSERT_TRUE(sim->started()) << sim->failure();
  const std::string link = dir.path() / "COM4";
  const std::optional<std::string> first = sim->ReadLine(10s);
  ASSERT_TRUE(first.has_value()) << "no start-up line";

  const UniqueFd port = OpenRaw(link);
  ASSERT_TRUE(port.valid()) << link;
  const std::uint8_t oncore_offset[] = {64, 64, 65, 98, 0, 2, 0, 33, 13, 10};
  ASSERT_EQ(::write(port.get(), oncore_offset, sizeof oncore_offset),
            static_cast<ssize_t>(sizeof oncore_offset));

  std::vector<std::string> lines;
  for (int i = 0; i < 50; ++i) {
    const std::optional<std::string> line = sim->ReadLine(10s);
    if (!line) break;
    lines.push_back(*line);
    if (line->starts_with("  obeyed")) break;
  }
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "command: @@Ab GMT offset +2:00 (10 bytes, checksum ok)");
  EXPECT_EQ(lines.back(), "  obeyed: Motorola times are now UTC+2:00");

  sim->Signal(SIGTERM);
  const std::optional<int> status = sim->WaitForExit(10s);
  ASSERT_TRUE(status.has_value()) << "gpstime-sim ignored SIGTERM";
  EXPECT_TRUE(WIFEXITED(*status));
  EXPECT_EQ(WEXITSTATUS(*status), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(link)) << "link left behind";
}

// Each burst begins its own jitter draw (printed, within --jitter-ms) after
// its second: never earlier, and no later than the draw plus the
// simulator's own reported lateness and this reader's slack.
TEST(GpstimeSimProgram, JitteredBurstsBeginTheirOwnDrawLateWithinTheLimit) {
  constexpr int kJitterMs = 100;
  TempDir dir;
  const auto sim = StartSim({"--dir", dir.path(), "--pace", "bytes", "--jitter-ms",
                             std::to_string(kJitterMs), "--seed", "7", "--count", "5"});
  ASSERT_TRUE(sim->started()) << sim->failure();
  ASSERT_TRUE(sim->ReadLine(10s).has_value()) << "no start-up line";
  const UniqueFd port = OpenRaw(dir.path() / "COM2");
  ASSERT_TRUE(port.valid());
  const TimedBytes read = ReadTimedUntil(
      port.get(), 15s, [](const std::string& data) { return NmeaBursts(data).size() >= 4; });
  const std::vector<Burst> bursts = NmeaBursts(read.data);
  ASSERT_GE(bursts.size(), 4u) << read.data;

  // "sent: $GPRMC,<time>,... (first byte L ms late) (jitter J ms)", by RMC time.
  std::map<int, std::pair<double, double>> late_and_jitter;
  for (int i = 0; i < 20 && late_and_jitter.size() < bursts.size(); ++i) {
    const std::optional<std::string> line = sim->ReadLine(10s);
    if (!line) break;
    double late = 0;
    double jitter = -1;
    const std::size_t late_at = line->find("(first byte ");
    const std::size_t jitter_at = line->find("(jitter ");
    if (!line->starts_with("sent: $GPRMC,") || late_at == std::string::npos ||
        jitter_at == std::string::npos ||
        std::sscanf(line->c_str() + late_at, "(first byte %lf", &late) != 1 ||
        std::sscanf(line->c_str() + jitter_at, "(jitter %lf", &jitter) != 1) {
      continue;
    }
    late_and_jitter[MillisOfDay(line->substr(13, 10))] = {late, jitter};
  }
  constexpr std::int64_t kReadingSlackNs = 300'000;
  constexpr double kReaderLateNs = 100e6;  // this test's own wake-up, under load
  const double character_ns = 1e10 / 4800;
  std::set<double> draws;
  for (const Burst& b : bursts) {
    const auto found = late_and_jitter.find(static_cast<int>(b.utc_ms % 86'400'000));
    ASSERT_NE(found, late_and_jitter.end()) << "no line for the burst at " << b.utc_ms;
    const auto [late_ms, jitter_ms] = found->second;
    SCOPED_TRACE("jitter " + std::to_string(jitter_ms) + " ms");
    EXPECT_GE(jitter_ms, 0);
    EXPECT_LE(jitter_ms, kJitterMs);
    draws.insert(jitter_ms);
    const double begin_ns = b.utc_ms * 1e6 + jitter_ms * 1e6 + character_ns;
    EXPECT_GE(read.arrival_ns[b.first], begin_ns - kReadingSlackNs);
    EXPECT_LE(read.arrival_ns[b.first], begin_ns + late_ms * 1e6 + kReaderLateNs);
  }
  EXPECT_GE(draws.size(), 3u) << "each burst draws its own jitter";
}

// A Motorola message on the line: its two letters and all its bytes.
struct MotorolaOnLine {
  std::string letters;
  std::string bytes;
};

// Cuts the simulator's Motorola output into whole messages by their known
// lengths; stops at an unknown header or an incomplete message.
std::vector<MotorolaOnLine> MotorolaMessages(const std::string& data) {
  const std::map<std::string, std::size_t> lengths = {
      {"Hb", 54}, {"Ea", 76}, {"Gb", 17}, {"Ab", 10}};
  std::vector<MotorolaOnLine> messages;
  for (std::size_t at = 0; at + 4 <= data.size() && data.compare(at, 2, "@@") == 0;) {
    const auto length = lengths.find(data.substr(at + 2, 2));
    if (length == lengths.end() || at + length->second > data.size()) break;
    messages.push_back({length->first, data.substr(at, length->second)});
    at += length->second;
  }
  return messages;
}

// A Motorola receiver answers a GMT offset command with the message of the
// same name, between its time messages and before the first one that applies
// the new offset; one that ignores such commands neither answers nor applies.
TEST(GpstimeSimProgram, AnswersAnObeyedGmtOffsetCommandBeforeApplyingIt) {
  const std::string gb_plus_two = {64, 64, 71, 98, 12, 7,      7,  '\xEA', 13,
                                   5,  0,  0,  2,  0,  '\xC9', 13, 10};
  const std::string ab_minus_half = {64, 64, 65, 98, '\xFF', 0, 30, 0x23 ^ '\xFF' ^ 30, 13, 10};
  const struct {
    const char* legend;
    const char* protocol;
    std::string command;
    bool ignore;
    int offset_minutes;  // what the receiver applies afterwards
  } cases[] = {
      {"m12 @@Gb", "m12", gb_plus_two, false, 120},
      {"oncore @@Ab", "oncore", ab_minus_half, false, -30},
      {"m12 ignoring @@Gb", "m12", gb_plus_two, true, 0},
  };
  const std::int64_t start_ms = UtcMs(2026, 12, 7, 13, 5, 0, 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.legend);
    TempDir dir;
    std::vector<std::string> args = {"--dir",    dir.path(), "--protocol",
                                     c.protocol, "--start",  "2026-12-07 13:05:00",
                                     "--count",  "8",        "--quiet"};
    if (c.ignore) args.push_back("--ignore-offset-command");
    const auto sim = StartSim(args);
    ASSERT_TRUE(sim->started()) << sim->failure();
    ASSERT_TRUE(sim->ReadLine(10s).has_value()) << "no start-up line";
    const UniqueFd port = OpenRaw(dir.path() / "COM2");
    ASSERT_TRUE(port.valid());
    std::string data = ReadTimedUntil(port.get(), 10s, [](const std::string& d) {
                         return !MotorolaMessages(d).empty();
                       }).data;
    ASSERT_EQ(::write(port.get(), c.command.data(), c.command.size()),
              static_cast<ssize_t>(c.command.size()));
    const std::size_t before = MotorolaMessages(data).size();
    data += ReadTimedUntil(port.get(), 10s, [&](const std::string& d) {
              return MotorolaMessages(data + d).size() >= before + 3;
            }).data;

    const std::vector<MotorolaOnLine> messages = MotorolaMessages(data);
    ASSERT_GE(messages.size(), before + 3) << "output is not whole messages back to back";
    const auto time_of = [](const std::string& m) {  // date and time after the header, in ms
      const auto byte = [&m](std::size_t i) { return static_cast<std::uint8_t>(m[4 + i]); };
      return UtcMs(byte(2) * 256 + byte(3), byte(0), byte(1), byte(4), byte(5), byte(6), 0);
    };
    std::optional<std::size_t> answer_at;
    std::int64_t offset_ms = 0;  // applied by the time messages read so far
    for (std::size_t i = 0; i < messages.size(); ++i) {
      const MotorolaOnLine& m = messages[i];
      if (m.letters == "Gb" || m.letters == "Ab") {
        ASSERT_FALSE(answer_at.has_value()) << "answered twice";
        answer_at = i;
        ASSERT_EQ(m.letters, std::string(c.command.substr(2, 2)));
        std::uint8_t sum = 0;
        for (std::size_t k = 2; k + 3 < m.bytes.size(); ++k)
          sum ^= static_cast<std::uint8_t>(m.bytes[k]);
        EXPECT_EQ(static_cast<std::uint8_t>(m.bytes[m.bytes.size() - 3]), sum);
        EXPECT_TRUE(m.bytes.ends_with("\r\n"));
        // Sign, hours and minutes: the last three data bytes, as in the command.
        EXPECT_EQ(m.bytes.substr(m.bytes.size() - 6, 3), c.command.substr(c.command.size() - 6, 3));
        offset_ms = c.offset_minutes * 60'000LL;
        if (m.letters == "Gb") {  // the receiver's own time: UTC plus the new offset
          const std::int64_t utc_ms = time_of(m.bytes) - offset_ms;
          EXPECT_GE(utc_ms, time_of(messages[i - 1].bytes));
          EXPECT_LE(utc_ms, start_ms + 8000);
        }
        continue;
      }
      // Time messages: one second apart in UTC, local at the applied offset.
      const std::int64_t utc_ms =
          start_ms + static_cast<std::int64_t>(i - (answer_at ? 1 : 0)) * 1000;
      EXPECT_EQ(time_of(m.bytes), utc_ms + offset_ms) << "message " << i;
    }
    EXPECT_EQ(answer_at.has_value(), !c.ignore);
    if (answer_at) {
      EXPECT_GE(*answer_at, before);
    }
  }
}

TEST(GpstimeSimProgram, RefusesToReplaceARegularFile) {
  TempDir dir;
  const std::filesystem::path occupied = dir.path() / "COM2";
  dir.WriteFile("COM2", "");
  const auto sim = StartSim({"--dir", dir.path(), "--quiet"});
  ASSERT_TRUE(sim->started()) << sim->failure();
  const std::optional<int> status = sim->WaitForExit(10s);
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(WIFEXITED(*status));
  EXPECT_EQ(WEXITSTATUS(*status), 1);
  EXPECT_TRUE(std::filesystem::is_regular_file(occupied));
}

}  // namespace
}  // namespace orvik::tools

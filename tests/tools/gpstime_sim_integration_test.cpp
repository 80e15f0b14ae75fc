// Runs the real gpstime-sim program on a pty and reads what it sends.
// Every wait is bounded; the child is killed by its PID if it overstays.
// The program is started through SimProcess, which runs it under
// setpriv --bounding-set -sys_time: it never holds CAP_SYS_TIME.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "fakes/sim_process.h"
#include "platform/unique_fd.h"
#include "tools/sim_test_util.h"

extern char** environ;

namespace orvik::tools {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using platform::UniqueFd;
using testing::SimProcess;

// A temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "gpstime-sim-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : "";
  }
  ~TempDir() {
    std::error_code error;
    if (!path_.empty()) std::filesystem::remove_all(path_, error);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

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

// Reads from `fd` until `enough` says so or `limit` passes.
template <typename Enough>
std::string ReadUntil(int fd, std::chrono::milliseconds limit, Enough enough) {
  std::string data;
  const auto give_up = Clock::now() + limit;
  while (!enough(data) && Clock::now() < give_up) {
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, 100) <= 0) continue;
    char chunk[1024];
    const ssize_t count = ::read(fd, chunk, sizeof chunk);
    if (count > 0) data.append(chunk, static_cast<std::size_t>(count));
  }
  return data;
}

std::vector<std::string> RmcSentences(const std::string& data) {
  std::vector<std::string> rmc;
  for (const std::string& line : orvik::testing::SplitLines(data)) {
    if (line.starts_with("$GPRMC,")) rmc.push_back(line);
  }
  return rmc;
}

int MillisOfDay(const std::string& hhmmss_sss) {
  return ((std::stoi(hhmmss_sss.substr(0, 2)) * 60 + std::stoi(hhmmss_sss.substr(2, 2))) * 60 +
          std::stoi(hhmmss_sss.substr(4, 2))) * 1000 +
         std::stoi(hhmmss_sss.substr(7, 3));
}

TEST(GpstimeSimProgram, SendsCountedRmcSentencesThenEndsByItself) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  SimProcess sim(GPSTIME_SIM_PATH, std::vector<std::string>{"--dir", dir.path(), "--count", "3", "--interval", "0.2", "--quiet"});
  ASSERT_TRUE(sim.started());
  const std::string link = dir.path() + "/COM2";

  const std::optional<std::string> first = sim.ReadLine(10s);
  ASSERT_TRUE(first.has_value()) << "no start-up line";
  EXPECT_TRUE(first->starts_with("gpstime-sim: /dev/pts/")) << *first;
  EXPECT_TRUE(first->ends_with(" linked as " + link)) << *first;

  const UniqueFd port = OpenRaw(link);
  ASSERT_TRUE(port.valid()) << link;
  const std::string data =
      ReadUntil(port.get(), 15s, [](const std::string& d) { return RmcSentences(d).size() >= 3; });
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
      const int step = MillisOfDay(fields[1]) - MillisOfDay(orvik::testing::NmeaFields(rmc[i - 1])[1]);
      EXPECT_EQ((step + 86'400'000) % 86'400'000, 200);  // --interval 0.2 in the message times
    }
  }

  const std::optional<int> status = sim.WaitForExit(15s);
  ASSERT_TRUE(status.has_value()) << "gpstime-sim did not end after --count";
  EXPECT_TRUE(WIFEXITED(*status));
  EXPECT_EQ(WEXITSTATUS(*status), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(link)) << "link left behind";
}

TEST(GpstimeSimProgram, PrintsCommandsAndEndsCleanlyOnSigterm) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  SimProcess sim(GPSTIME_SIM_PATH, std::vector<std::string>{"--dir", dir.path(), "--port", "4", "--protocol", "oncore"});
  ASSERT_TRUE(sim.started());
  const std::string link = dir.path() + "/COM4";
  const std::optional<std::string> first = sim.ReadLine(10s);
  ASSERT_TRUE(first.has_value()) << "no start-up line";

  const UniqueFd port = OpenRaw(link);
  ASSERT_TRUE(port.valid()) << link;
  const std::uint8_t oncore_offset[] = {64, 64, 65, 98, 0, 2, 0, 33, 13, 10};
  ASSERT_EQ(::write(port.get(), oncore_offset, sizeof oncore_offset),
            static_cast<ssize_t>(sizeof oncore_offset));

  std::vector<std::string> lines;
  for (int i = 0; i < 50; ++i) {
    const std::optional<std::string> line = sim.ReadLine(10s);
    if (!line) break;
    lines.push_back(*line);
    if (line->starts_with("  obeyed")) break;
  }
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "command: @@Ab GMT offset +2:00 (10 bytes, checksum ok)");
  EXPECT_EQ(lines.back(), "  obeyed: Motorola times are now UTC+2:00");

  ASSERT_EQ(::kill(sim.pid(), SIGTERM), 0);
  const std::optional<int> status = sim.WaitForExit(10s);
  ASSERT_TRUE(status.has_value()) << "gpstime-sim ignored SIGTERM";
  EXPECT_TRUE(WIFEXITED(*status));
  EXPECT_EQ(WEXITSTATUS(*status), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(link)) << "link left behind";
}

TEST(GpstimeSimProgram, RefusesToReplaceARegularFile) {
  TempDir dir;
  ASSERT_FALSE(dir.path().empty());
  const std::string occupied = dir.path() + "/COM2";
  { std::FILE* file = std::fopen(occupied.c_str(), "w"); ASSERT_NE(file, nullptr); std::fclose(file); }
  SimProcess sim(GPSTIME_SIM_PATH, std::vector<std::string>{"--dir", dir.path(), "--quiet"});
  ASSERT_TRUE(sim.started());
  const std::optional<int> status = sim.WaitForExit(10s);
  ASSERT_TRUE(status.has_value());
  EXPECT_TRUE(WIFEXITED(*status));
  EXPECT_EQ(WEXITSTATUS(*status), 1);
  EXPECT_TRUE(std::filesystem::is_regular_file(occupied));
}

}  // namespace
}  // namespace orvik::tools

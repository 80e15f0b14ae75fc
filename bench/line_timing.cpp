// How the real headless program times a line whose bursts are rough, as real
// receivers' are: late by a varying amount, cut off, never pausing, several
// a second, handed over in clumps, or waiting in the port before the program
// opens it. The feeder is this program's own (bench/line_feeder.h): a pty
// linked as COM2 and a thread that writes NMEA bytes at the line rate, each
// burst beginning at the real start of its period (plus its jitter), so a
// perfect program would set the clock to within the line's character time.
//
// For each row orvik-gpstimed runs under `setpriv --bounding-set -sys_time`
// (the tests' launcher, which checks /proc/PID/status before the feeder sends
// anything) with the clock-call recorder preloaded: it records every
// attempted setting with the real time of the call and sets nothing. Its
// settings: GMT difference 2 h, a record every second, a setting attempted at
// every message, receiver delay 0. One client on 127.0.0.1:1609 stamps each
// record it receives. A row prints:
//   rec/s      records received per second of feeding
//   old>1s     records that were more than 1 s old when received (the
//              record's local time less the 2 h difference, against the
//              real time at receipt), and the median age in ms
//   sets       settings attempted; their error = value set - real time at
//              the call: median and largest |error| and the mean, in ms,
//              after taking out whole hours (shown when not 0)
//   feed late  median/max of how late the feeder's first write of a burst
//              came (it adds to the errors)
// and below it the distinct lines the program wrote on stderr. Nothing is
// asserted.
//
//   build/bench/line_timing [--rows clean,cut300,...] [--seconds 15] [--list]
//
// As root the run gets a network namespace of its own; otherwise port 1609
// must be free. Every process it starts is ended by its PID.
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "bench/clock_error_figures.h"
#include "bench/headless_bench.h"
#include "bench/line_feeder.h"
#include "bench/line_timing_figures.h"
#include "support/child_process.h"
#include "support/file_text.h"
#include "support/headless_launch.h"
#include "support/loopback.h"
#include "support/process_status.h"
#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using orvik::bench::FeedPlan;
using orvik::testing::ChildProcess;

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
constexpr int kMaxSeconds = 60;
constexpr int kBacklogSeconds = 60;
// Records of the last bursts still arrive this long after the feeding ends.
constexpr std::int64_t kTailNs = 1'500'000'000;

struct Row {
  std::string key;
  std::string title;
  FeedPlan plan;
  int backlog_seconds = 0;
};

FeedPlan Plan(int baud, std::int64_t period_ns, orvik::bench::BurstShape shape) {
  FeedPlan plan;
  plan.baud = baud;
  plan.period_ns = period_ns;
  plan.shape = shape;
  return plan;
}

std::vector<Row> AllRows() {
  const orvik::bench::BurstShape clean{3, 0, false};
  std::vector<Row> rows = {
      {"clean", "clean: RMC+3 GGA, 4800", Plan(4800, kNanosPerSecond, clean)},
      {"cut300", "cut tail 300: RMC+3 GGA+cut GGA", Plan(4800, kNanosPerSecond, {3, 300, true})},
      {"cut150", "cut tail 150: RMC+GGA+cut GGA", Plan(4800, kNanosPerSecond, {1, 150, true})},
      {"nopause", "never pauses: 478 chars, 4800", Plan(4800, kNanosPerSecond, {5, 478, false})},
      {"10hz", "10 Hz RMC, 9600 (80 ms bursts)", Plan(9600, kNanosPerSecond / 10, {0, 77, false})},
      {"6hz", "6 Hz RMC, 4800", Plan(4800, kNanosPerSecond / 6, {0, 0, false})},
      {"clumps62", "clumps 62 (+16 ms timer), 4800", Plan(4800, kNanosPerSecond, clean)},
      {"jitter40", "jitter 40 ms, 4800", Plan(4800, kNanosPerSecond, clean)},
      {"jitter100", "jitter 100 ms, 4800", Plan(4800, kNanosPerSecond, clean)},
      {"backlog", "backlog at start: 60 s waiting", Plan(4800, kNanosPerSecond, clean),
       kBacklogSeconds},
  };
  for (Row& row : rows) {
    if (row.key == "clumps62") row.plan.clump = 62;
    if (row.key == "jitter40") row.plan.jitter_ms = 40;
    if (row.key == "jitter100") row.plan.jitter_ms = 100;
  }
  return rows;
}

struct Options {
  std::vector<Row> rows = AllRows();
  int seconds = 15;
  bool list = false;
};

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (name == "--list") {
      options.list = true;
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "line_timing: '%s' needs a value\n", argv[i]);
      return std::nullopt;
    }
    const std::string value = argv[++i];
    if (name == "--seconds") {
      options.seconds = std::atoi(value.c_str());
    } else if (name == "--rows") {
      options.rows.clear();
      for (const std::string& key : orvik::bench::SplitList(value)) {
        const std::vector<Row> all = AllRows();
        const auto found =
            std::find_if(all.begin(), all.end(), [&key](const Row& row) { return row.key == key; });
        if (found == all.end()) {
          std::fprintf(stderr, "line_timing: no row '%s' (see --list)\n", key.c_str());
          return std::nullopt;
        }
        options.rows.push_back(*found);
      }
    } else {
      std::fprintf(stderr, "line_timing: unknown option '%s'\n", argv[i - 1]);
      return std::nullopt;
    }
  }
  if (options.seconds < 5 || options.seconds > kMaxSeconds) {
    std::fprintf(stderr, "line_timing: --seconds 5..%d\n", kMaxSeconds);
    return std::nullopt;
  }
  return options;
}

std::int64_t UtcNowNs() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec * kNanosPerSecond + now.tv_nsec;
}

// A connection to the program's port 1609, once it accepts; invalid after
// `limit` without one.
orvik::platform::UniqueFd ConnectToServer(std::chrono::milliseconds limit) {
  const auto give_up = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < give_up) {
    orvik::platform::UniqueFd fd = orvik::bench::ConnectLoopback(orvik::testing::kServerPort);
    pollfd entry{fd.get(), POLLOUT, 0};
    int error = 0;
    socklen_t size = sizeof error;
    if (fd.valid() && ::poll(&entry, 1, 200) == 1 &&
        ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0) {
      return fd;
    }
    std::this_thread::sleep_for(100ms);
  }
  return orvik::platform::UniqueFd();
}

// Reads the client's records until `end_ns` (UTC) and stamps each on receipt.
std::vector<orvik::bench::ReceivedRecord> ReceiveUntil(int fd, std::int64_t end_ns,
                                                       ChildProcess& daemon) {
  std::vector<orvik::bench::ReceivedRecord> received;
  orvik::bench::RecordCutter cutter;
  while (UtcNowNs() < end_ns && daemon.Running()) {
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, 100) <= 0) continue;
    std::uint8_t buffer[4096];
    const ssize_t count = ::read(fd, buffer, sizeof buffer);
    const std::int64_t now = UtcNowNs();
    if (count <= 0) break;  // the server closed the connection
    for (const auto& record : cutter.Push(std::span(buffer, static_cast<std::size_t>(count)))) {
      received.push_back({record, now});
    }
  }
  return received;
}

struct RowResult {
  orvik::bench::LineTimingFigures figures;
  std::string trouble;  // why the row has no figures, or a remark
  bool unsafe = false;  // the program did not start as required: the run stops
};

RowResult RunRow(const Row& row, int seconds) {
  RowResult result;
  const orvik::testing::TempDir root;
  const fs::path work = root.path() / "work";
  const fs::path clock_log = root.path() / "clock-calls.txt";
  const fs::path daemon_stderr = root.path() / "orvik-gpstimed.stderr";
  std::error_code error;
  const char* protocol = row.plan.baud == 9600 ? "NMEA_0183 9600 Bod" : "NMEA_0183";
  if (root.path().empty() || !fs::create_directory(work, error) ||
      !orvik::testing::WriteFileAtomically(work / "GPS_parm.txt",
                                           orvik::bench::EveryMessageSettings(protocol))) {
    result.trouble = "no temporary folder";
    return result;
  }
  std::string failure;
  const std::unique_ptr<orvik::bench::LineFeeder> feeder =
      orvik::bench::LineFeeder::Open(work, 2, failure);
  if (!feeder) {
    result.trouble = failure;
    return result;
  }
  const orvik::bench::FeedFigures backlog =
      row.backlog_seconds > 0 ? feeder->WriteBacklog(row.plan, row.backlog_seconds)
                              : orvik::bench::FeedFigures{};
  const orvik::testing::ProgramPaths programs{ORVIK_GPSTIMED_PATH, "", "",
                                              ORVIK_CLOCK_RECORDER_PATH};
  std::unique_ptr<ChildProcess> daemon = orvik::testing::StartHeadless(
      programs, work, daemon_stderr, clock_log, orvik::testing::StandardStreams::kInherited, "UTC");
  if (!daemon->started()) {
    result.trouble = daemon->failure();
    result.unsafe = true;
    return result;
  }
  // The launcher has checked the program; only a backlog was in the port
  // before, and it may not have been read before that check.
  if (row.backlog_seconds > 0 && orvik::testing::HasOpen(daemon->pid(), feeder->device())) {
    result.trouble = "the program opened the port before its checks ended: no figures";
    return result;
  }
  if (!orvik::testing::WaitUntil(
          [&] { return orvik::testing::MapsLibrary(daemon->pid(), ORVIK_CLOCK_RECORDER_PATH); }, 5s,
          20ms)) {
    result.trouble = "the clock-call recorder is not loaded";
    return result;
  }
  const orvik::platform::UniqueFd client = ConnectToServer(10s);
  if (!client.valid()) result.trouble = "no connection to port 1609";
  const std::int64_t first_ns =
      (UtcNowNs() + kNanosPerSecond / 2) / kNanosPerSecond * kNanosPerSecond + kNanosPerSecond;
  const std::int64_t end_ns = first_ns + seconds * kNanosPerSecond;
  feeder->Start(row.plan, first_ns, end_ns);
  std::vector<orvik::bench::ReceivedRecord> records;
  if (client.valid()) records = ReceiveUntil(client.get(), end_ns + kTailNs, *daemon);
  orvik::testing::WaitUntil([&] { return UtcNowNs() >= end_ns + kTailNs || !daemon->Running(); },
                            std::chrono::seconds(seconds + 3), 50ms);
  const orvik::bench::FeedFigures feed = feeder->Stop();
  if (!daemon->Running()) result.trouble += " orvik-gpstimed ended early";
  const double load = orvik::bench::LoadAverage();
  daemon->Stop(5s);
  result.figures = orvik::bench::SummarizeLineTiming(
      records, seconds, orvik::bench::ReadRecordedSettings(orvik::testing::ReadFileText(clock_log)),
      feed, orvik::testing::ReadFileText(daemon_stderr));
  result.figures.backlog_bytes = backlog.bytes_sent;
  result.figures.backlog_dropped = backlog.bytes_dropped;
  result.figures.load = load;
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    std::printf(
        "Usage: line_timing [--rows KEY,KEY...] [--seconds 15] [--list]\n"
        "Feeds orvik-gpstimed rough receiver lines and prints, per row, the records its\n"
        "client got, the clock settings it attempted and their errors, and its stderr.\n");
    return 0;
  }
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) return 2;
  if (options->list) {
    for (const Row& row : AllRows()) std::printf("%-10s %s\n", row.key.c_str(), row.title.c_str());
    return 0;
  }
  if (orvik::bench::UsePrivateNetwork()) {
    std::printf("line_timing: in a network namespace of its own\n");
  } else if (!orvik::testing::PortIsFree(orvik::testing::kServerPort)) {
    std::fprintf(stderr, "line_timing: TCP port 1609 is in use: refusing to start\n");
    return 1;
  }
  std::printf(
      "line_timing: %d s of feeding per row; rec/s: records received per second;\n"
      "  old>1s: records over 1 s old on receipt (median age in ms; a record carries\n"
      "  whole seconds, so at several messages a second its age counts from its second);\n"
      "  sets: clock settings attempted, error = value set - real time at the call (ms,\n"
      "  whole hours taken out); feed late: median/max ms the feeder's first write of a\n"
      "  burst came late; load: 1-minute load average at the end of the row\n",
      options->seconds);
  std::printf("%s\n", orvik::bench::LineTimingHeader().c_str());
  std::fflush(stdout);
  // The program's stderr lines of the first row; later rows show only others.
  std::set<std::string> shown_lines;
  for (const Row& row : options->rows) {
    const RowResult result = RunRow(row, options->seconds);
    if (result.unsafe) {
      std::fprintf(stderr, "line_timing: %s: stopping\n", result.trouble.c_str());
      return 1;
    }
    std::printf("%s", orvik::bench::LineTimingRow(row.title, result.figures, shown_lines).c_str());
    if (&row == &options->rows.front()) {
      for (const auto& [line, count] : result.figures.stderr_lines) shown_lines.insert(line);
    }
    if (!result.trouble.empty()) std::printf("  (%s)\n", result.trouble.c_str());
    std::fflush(stdout);
  }
  return 0;
}

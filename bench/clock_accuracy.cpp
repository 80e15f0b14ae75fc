// How close the real headless program sets the system clock to the real
// time. For each row (receiver protocol x receiver delay x the machine's time
// zone) the receiver simulator sends live time messages at the protocol's
// line rate (--pace bytes), each second's output beginning --delay-ms after
// the real whole second; orvik-gpstimed reads them with ClockUpdateInterval 0,
// so every message attempts a setting, and the receiver delay on line 15 of
// its GPS_parm.txt (otherwise the defaults: GMT difference 2 h). The program
// runs under `setpriv --bounding-set -sys_time` (the tests' launcher) with the
// clock-call recorder preloaded, which writes each attempted setting with the
// real time of the call and sets nothing; the run stops unless
// /proc/PID/status shows that CAP_SYS_TIME is out of the reach of the
// simulator and the program before any receiver data flows.
// For each setting, error = value set - real time at the call; a row prints
// the count, median and largest |error| and the mean signed error in ms,
// after taking out whole hours (a time zone applied where none belongs),
// which get a column of their own. Nothing is asserted.
//
// Each row runs quiet, then loaded: two busy loops (child processes that
// spin, bounded by the row's time and ended by their PIDs at its end) beside
// the program; each cell shows "quiet / loaded". Jitter rows (NMEA 4800,
// delay 0, UTC) run the simulator with --jitter-ms N: each second's output
// begins a further 0..N ms late. The program filters that over a window of
// about 16 s, so these rows run longer and print a second line with the
// settings made from 16 s after the first message on.
//
//   build/bench/clock_accuracy [--protocols nmea,nmea9600,m12,oncore]
//       [--delays 0,250] [--zones UTC,Europe/Berlin] [--seconds 15]
//       [--loads quiet,loaded] [--jitters 0,40,100] [--jitter-seconds 40]
//
// "none" empties a list. The default run (zone UTC) takes about 10 minutes. As
// root the run gets a network namespace of its own, so the program's port
// 1609 cannot meet another run's; otherwise that port must be free. Every
// process it starts is ended by its PID.
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bench/clock_error_figures.h"
#include "bench/headless_bench.h"
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
using orvik::bench::ConditionFigures;
using orvik::testing::ChildProcess;
using E2eClock = std::chrono::steady_clock;

// The simulator is silent this long after its start-up line: time to start
// the program and check it before any receiver data flows.
constexpr auto kSilenceBeforeData = 3s;
constexpr int kMaxSeconds = 120;
constexpr int kBusyLoops = 2;
// The window over which the program filters the start of the bursts.
constexpr std::int64_t kFilterWindowNs = 16'000'000'000;
constexpr std::int64_t kNanosPerSecond = 1'000'000'000;

// The simulator's protocol name and the program's protocol word (line 13).
const std::map<std::string, std::string>& ProtocolWords() {
  static const std::map<std::string, std::string> kWords = {
      {"nmea", "NMEA_0183"},
      {"nmea9600", "NMEA_0183 9600 Bod"},
      {"m12", "Motorola_M12"},
      {"oncore", "Motorola_Oncore"},
  };
  return kWords;
}

struct Options {
  std::vector<std::string> protocols = {"nmea", "nmea9600", "m12", "oncore"};
  std::vector<std::string> delays = {"0", "250"};
  std::vector<std::string> zones = {"UTC"};
  int seconds = 15;
  bool quiet = true;
  bool loaded = true;
  std::vector<std::string> jitters = {"0", "40", "100"};
  int jitter_seconds = 40;
};

// One configuration: what the simulator sends and how the machine is set up.
struct RowConfig {
  std::string protocol = "nmea";
  std::string delay_ms = "0";
  std::string zone = "UTC";
  std::string jitter_ms = "0";
  int seconds = 15;
};

std::vector<std::string> ListOf(std::string_view value) {
  if (value == "none") return {};
  return orvik::bench::SplitList(value);
}

bool IsWholeMs(const std::string& text, int max) {
  return !text.empty() && text.size() <= 3 &&
         text.find_first_not_of("0123456789") == std::string::npos && std::stoi(text) <= max;
}

// Returns the options, or nullopt after printing why they are refused.
std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view name = argv[i];
    if (i + 1 >= argc) {
      std::fprintf(stderr, "clock_accuracy: '%s' needs a value\n", argv[i]);
      return std::nullopt;
    }
    const std::string_view value = argv[++i];
    if (name == "--protocols") {
      options.protocols = ListOf(value);
    } else if (name == "--delays") {
      options.delays = ListOf(value);
    } else if (name == "--zones") {
      options.zones = ListOf(value);
    } else if (name == "--seconds") {
      options.seconds = std::atoi(std::string(value).c_str());
    } else if (name == "--loads") {
      const std::vector<std::string> loads = ListOf(value);
      options.quiet = std::find(loads.begin(), loads.end(), "quiet") != loads.end();
      options.loaded = std::find(loads.begin(), loads.end(), "loaded") != loads.end();
      if (loads.size() != (options.quiet ? 1u : 0u) + (options.loaded ? 1u : 0u)) {
        std::fprintf(stderr, "clock_accuracy: --loads: quiet and/or loaded\n");
        return std::nullopt;
      }
    } else if (name == "--jitters") {
      options.jitters = ListOf(value);
    } else if (name == "--jitter-seconds") {
      options.jitter_seconds = std::atoi(std::string(value).c_str());
    } else {
      std::fprintf(stderr, "clock_accuracy: unknown option '%s'\n", argv[i - 1]);
      return std::nullopt;
    }
  }
  for (const std::string& protocol : options.protocols) {
    if (!ProtocolWords().contains(protocol)) {
      std::fprintf(stderr, "clock_accuracy: protocol '%s': nmea, nmea9600, m12 or oncore\n",
                   protocol.c_str());
      return std::nullopt;
    }
  }
  for (const std::string& delay : options.delays) {
    if (!IsWholeMs(delay, 999)) {
      std::fprintf(stderr, "clock_accuracy: delay '%s': 0 to 999 ms\n", delay.c_str());
      return std::nullopt;
    }
  }
  for (const std::string& jitter : options.jitters) {
    if (!IsWholeMs(jitter, 500)) {
      std::fprintf(stderr, "clock_accuracy: jitter '%s': 0 to 500 ms\n", jitter.c_str());
      return std::nullopt;
    }
  }
  for (const std::string& zone : options.zones) {
    if (zone.find("..") != std::string::npos ||
        !fs::is_regular_file("/usr/share/zoneinfo/" + zone)) {
      std::fprintf(stderr, "clock_accuracy: no time zone '%s'\n", zone.c_str());
      return std::nullopt;
    }
  }
  if (options.seconds < 5 || options.seconds > kMaxSeconds || options.jitter_seconds < 20 ||
      options.jitter_seconds > kMaxSeconds) {
    std::fprintf(stderr, "clock_accuracy: --seconds 5..%d, --jitter-seconds 20..%d\n", kMaxSeconds,
                 kMaxSeconds);
    return std::nullopt;
  }
  const bool matrix =
      !options.protocols.empty() && !options.delays.empty() && !options.zones.empty();
  if ((!matrix && options.jitters.empty()) || (!options.quiet && !options.loaded)) {
    std::fprintf(stderr, "clock_accuracy: nothing to run\n");
    return std::nullopt;
  }
  return options;
}

orvik::testing::ProgramPaths Programs() {
  return {ORVIK_GPSTIMED_PATH, GPSTIME_SIM_PATH, "", ORVIK_CLOCK_RECORDER_PATH};
}

std::int64_t UtcNowNs() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec * kNanosPerSecond + now.tv_nsec;
}

struct RowResult {
  orvik::bench::RecordedSettings settings;
  std::int64_t first_message_ns = 0;      // UTC of the simulator's first message (about)
  std::vector<double> simulator_late_ms;  // of each message's first byte
  double load = -1;                       // at the end of the row
  std::string trouble;                    // why the row has no figures, or a remark
  // A program did not start, or it might have set the clock: the run stops.
  bool unsafe = false;
};

// Runs one row in a fresh folder, with `busy_loops` spinning beside the
// program; every process it starts has ended when it returns.
RowResult RunRow(const RowConfig& config, int busy_loops) {
  RowResult result;
  const orvik::testing::TempDir root;
  const fs::path work = root.path() / "work";
  const fs::path clock_log = root.path() / "clock-calls.txt";
  const fs::path daemon_stderr = root.path() / "orvik-gpstimed.stderr";
  std::error_code error;
  if (root.path().empty() || !fs::create_directory(work, error) ||
      !orvik::testing::WriteFileAtomically(
          work / "GPS_parm.txt", orvik::bench::EveryMessageSettings(
                                     ProtocolWords().at(config.protocol), config.delay_ms))) {
    result.trouble = "no temporary folder";
    return result;
  }
  const std::string run_seconds = std::to_string(config.seconds + 10);
  orvik::testing::ProcessOptions sim_options;
  // The simulator stands for hardware whose timing a busy machine does not
  // disturb: it runs at a raised priority. The program under test starts at
  // the normal one and raises its reading thread as far as it may.
  sim_options.argv = {GPSTIME_SIM_PATH,
                      "--dir",
                      work.string(),
                      "--port",
                      "2",
                      "--protocol",
                      config.protocol,
                      "--pace",
                      "bytes",
                      "--delay-ms",
                      config.delay_ms,
                      "--jitter-ms",
                      config.jitter_ms,
                      "--start-delay",
                      std::to_string(kSilenceBeforeData.count()),
                      "--duration",
                      run_seconds};
  sim_options.niceness = -15;
  sim_options.capture_stdout = true;
  const std::int64_t sim_spawned_ns = UtcNowNs();
  ChildProcess sim(sim_options);
  const auto sim_started = E2eClock::now();
  if (!sim.started()) {
    result.trouble = sim.failure();
    result.unsafe = true;
    return result;
  }
  // The simulator's first message comes at the first whole second after its
  // silence.
  result.first_message_ns =
      (sim_spawned_ns + std::chrono::nanoseconds(kSilenceBeforeData).count()) / kNanosPerSecond *
          kNanosPerSecond +
      kNanosPerSecond;
  if (!sim.ReadLine(10s)) {
    result.trouble = "the simulator did not start";
    return result;
  }
  const orvik::bench::BusyLoops busy(
      busy_loops, std::chrono::duration_cast<std::chrono::milliseconds>(
                      kSilenceBeforeData + std::chrono::seconds(config.seconds + 1)));
  std::unique_ptr<ChildProcess> daemon =
      orvik::testing::StartHeadless(Programs(), work, daemon_stderr, clock_log,
                                    orvik::testing::StandardStreams::kInherited, config.zone);
  if (!daemon->started()) {
    result.trouble = daemon->failure();
    result.unsafe = true;
    return result;
  }
  const bool recorder_loaded = orvik::testing::WaitUntil(
      [&] { return orvik::testing::MapsLibrary(daemon->pid(), ORVIK_CLOCK_RECORDER_PATH); }, 5s,
      50ms);
  if (!recorder_loaded || E2eClock::now() - sim_started >= kSilenceBeforeData) {
    result.trouble = recorder_loaded ? "the checks came too late: receiver data may have flowed"
                                     : "the clock-call recorder is not loaded";
    return result;
  }
  if (busy.started() != busy_loops) result.trouble = "fewer busy loops than asked";
  const auto end_at = sim_started + kSilenceBeforeData + std::chrono::seconds(config.seconds);
  orvik::testing::WaitUntil([&] { return E2eClock::now() >= end_at || !daemon->Running(); },
                            std::chrono::seconds(config.seconds) + kSilenceBeforeData, 100ms);
  if (!daemon->Running()) result.trouble = "orvik-gpstimed ended early";
  result.load = orvik::bench::LoadAverage();
  daemon->Stop(5s);
  sim.Stop(5s);
  result.simulator_late_ms = orvik::bench::ReadSimulatorLateness(sim.ReadRest(1s));
  result.settings = orvik::bench::ReadRecordedSettings(orvik::testing::ReadFileText(clock_log));
  if (result.settings.errors_ns.empty()) {
    const std::string text = orvik::testing::ReadFileText(daemon_stderr);
    result.trouble += (result.trouble.empty() ? "" : "; ") + std::string("program stderr: ") +
                      text.substr(text.size() > 400 ? text.size() - 400 : 0);
  }
  return result;
}

ConditionFigures FiguresOf(const RowResult& result, std::span<const std::int64_t> errors_ns) {
  ConditionFigures figures;
  figures.ran = true;
  figures.errors = orvik::bench::Summarize(errors_ns);
  figures.simulator_late_ms = orvik::bench::SpreadOf(result.simulator_late_ms);
  figures.load = result.load;
  return figures;
}

void PrintRemarks(const char* condition, const RowResult& result) {
  if (result.settings.other_calls > 0 || result.settings.unreadable > 0) {
    std::printf("  (%s: also %d other clock calls, %d unreadable lines)\n", condition,
                result.settings.other_calls, result.settings.unreadable);
  }
  if (!result.trouble.empty()) std::printf("  (%s: %s)\n", condition, result.trouble.c_str());
}

// Runs `config` quiet and/or loaded and prints its line (and, for a jitter
// row, the line of the settings after the filter window). Returns false
// when the run must stop.
bool RunAndPrint(const std::string& name, const RowConfig& config, const Options& options,
                 bool after_window_too) {
  ConditionFigures all[2];
  ConditionFigures after_window[2];
  const bool wanted[2] = {options.quiet, options.loaded};
  const char* conditions[2] = {"quiet", "loaded"};
  std::vector<std::pair<const char*, RowResult>> results;
  for (int c = 0; c < 2; ++c) {
    if (!wanted[c]) continue;
    RowResult result = RunRow(config, c == 0 ? 0 : kBusyLoops);
    if (result.unsafe) {
      std::fprintf(stderr, "clock_accuracy: %s: stopping\n", result.trouble.c_str());
      return false;
    }
    all[c] = FiguresOf(result, result.settings.errors_ns);
    after_window[c] = FiguresOf(
        result,
        orvik::bench::ErrorsSince(result.settings, result.first_message_ns + kFilterWindowNs));
    results.emplace_back(conditions[c], std::move(result));
  }
  std::printf("%s\n", orvik::bench::TableRow(name, all[0], all[1]).c_str());
  if (after_window_too) {
    std::printf(
        "%s\n",
        orvik::bench::TableRow("  after the first 16 s", after_window[0], after_window[1]).c_str());
  }
  for (const auto& [condition, result] : results) PrintRemarks(condition, result);
  std::fflush(stdout);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    std::printf(
        "Usage: clock_accuracy [--protocols nmea,nmea9600,m12,oncore] [--delays 0,250]\n"
        "                      [--zones UTC,Europe/Berlin] [--seconds 15]\n"
        "                      [--loads quiet,loaded] [--jitters 0,40,100] [--jitter-seconds 40]\n"
        "Each list picks rows (\"none\": no such rows); --seconds of messages per row,\n"
        "--jitter-seconds per jitter row (NMEA 4800, delay 0, UTC).\n");
    return 0;
  }
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) return 2;
  if (orvik::bench::UsePrivateNetwork()) {
    std::printf("clock_accuracy: in a network namespace of its own\n");
  } else if (!orvik::testing::PortIsFree(orvik::testing::kServerPort)) {
    std::fprintf(stderr, "clock_accuracy: TCP port 1609 is in use: refusing to start\n");
    return 1;
  }
  std::printf(
      "clock_accuracy: %d s of messages per row, %d s per jitter row; each cell is\n"
      "  quiet / loaded (%d busy loops beside the program); error = value set - real\n"
      "  time at the call; ms figures after taking out the whole hours; target: median\n"
      "  |error| <= %.0f ms and max <= %.0f ms, hours included; sim late max: how late\n"
      "  the simulator's output began at most, ms (it adds to |error|); load: the\n"
      "  machine's 1-minute load average at the end of the row; jitter rows: each\n"
      "  second's output a further 0..N ms late, then the settings from 16 s on\n",
      options->seconds, options->jitter_seconds, kBusyLoops, orvik::bench::kTargetMedianMs,
      orvik::bench::kTargetMaxMs);
  std::printf("%s\n", orvik::bench::TableHeader().c_str());
  std::fflush(stdout);
  for (const std::string& protocol : options->protocols) {
    for (const std::string& delay : options->delays) {
      for (const std::string& zone : options->zones) {
        const RowConfig config{protocol, delay, zone, "0", options->seconds};
        if (!RunAndPrint(protocol + " delay " + delay + " " + zone, config, *options, false)) {
          return 1;
        }
      }
    }
  }
  for (const std::string& jitter : options->jitters) {
    const RowConfig config{"nmea", "0", "UTC", jitter, options->jitter_seconds};
    if (!RunAndPrint("nmea jitter " + jitter + " UTC", config, *options, true)) return 1;
  }
  return 0;
}

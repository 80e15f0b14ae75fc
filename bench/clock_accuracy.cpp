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
//   build/bench/clock_accuracy [--protocols nmea,nmea9600,m12,oncore]
//       [--delays 0,250] [--zones UTC,Europe/Berlin] [--seconds 15]
//
// All rows take about 5 minutes. As root the run gets a network namespace of
// its own, so the program's port 1609 cannot meet another run's; otherwise
// that port must be free. Every process it starts is ended by its PID.
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

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
#include "platform/unique_fd.h"
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
using orvik::testing::ChildProcess;
using E2eClock = std::chrono::steady_clock;

// The simulator is silent this long after its start-up line: time to start
// the program and check it before any receiver data flows.
constexpr auto kSilenceBeforeData = 3s;
constexpr int kMaxSeconds = 120;

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
  std::vector<std::string> zones = {"UTC", "Europe/Berlin"};
  int seconds = 15;
};

std::vector<std::string> SplitList(std::string_view text) {
  std::vector<std::string> items;
  while (true) {
    const std::size_t comma = text.find(',');
    if (!text.substr(0, comma).empty()) items.emplace_back(text.substr(0, comma));
    if (comma == std::string_view::npos) return items;
    text.remove_prefix(comma + 1);
  }
}

bool IsDelay(const std::string& text) {
  return !text.empty() && text.size() <= 3 &&
         text.find_first_not_of("0123456789") == std::string::npos;
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
      options.protocols = SplitList(value);
    } else if (name == "--delays") {
      options.delays = SplitList(value);
    } else if (name == "--zones") {
      options.zones = SplitList(value);
    } else if (name == "--seconds") {
      options.seconds = std::atoi(std::string(value).c_str());
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
    if (!IsDelay(delay)) {
      std::fprintf(stderr, "clock_accuracy: delay '%s': 0 to 999 ms\n", delay.c_str());
      return std::nullopt;
    }
  }
  for (const std::string& zone : options.zones) {
    if (zone.find("..") != std::string::npos || !fs::is_regular_file("/usr/share/zoneinfo/" + zone)) {
      std::fprintf(stderr, "clock_accuracy: no time zone '%s'\n", zone.c_str());
      return std::nullopt;
    }
  }
  if (options.seconds < 5 || options.seconds > kMaxSeconds) {
    std::fprintf(stderr, "clock_accuracy: --seconds 5..%d\n", kMaxSeconds);
    return std::nullopt;
  }
  if (options.protocols.empty() || options.delays.empty() || options.zones.empty()) {
    std::fprintf(stderr, "clock_accuracy: nothing to run\n");
    return std::nullopt;
  }
  return options;
}

// Moves this process into a network namespace of its own with its loopback
// up; the programs it starts inherit it. Returns false where that is not
// allowed (not root).
bool UsePrivateNetwork() {
  if (::unshare(CLONE_NEWNET) != 0) return false;
  const orvik::platform::UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  if (!fd.valid() || ::ioctl(fd.get(), SIOCGIFFLAGS, &request) != 0) return false;
  request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
  return ::ioctl(fd.get(), SIOCSIFFLAGS, &request) == 0;
}

// GPS_parm.txt: the defaults, but a setting attempted at every message, the
// protocol, and the receiver delay on line 15.
std::string SettingsText(const std::string& protocol, const std::string& delay_ms) {
  std::string text;
  const auto add = [&text](std::string_view line) { text.append(line).append("\r\n"); };
  for (const char* line : {"2", "2", "1", "0", ";ONLY_MIN_SEC", ";SOUND_DISABLED", ";SUMMER_TIME",
                           "3", "3", "10", "4", "0"}) {
    add(line);
  }
  add(ProtocolWords().at(protocol));
  add("LOGGING_DISABLED");
  add(delay_ms);
  return text;
}

orvik::testing::ProgramPaths Programs() {
  return {ORVIK_GPSTIMED_PATH, GPSTIME_SIM_PATH, "", ORVIK_CLOCK_RECORDER_PATH};
}

// The machine's load average over the last minute, or -1.
double LoadAverage() {
  double load = -1;
  if (std::FILE* file = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(file, "%lf", &load) != 1) load = -1;
    std::fclose(file);
  }
  return load;
}

struct RowResult {
  orvik::bench::RecordedSettings settings;
  std::vector<double> simulator_late_ms;  // of each message's first byte
  double load = -1;                       // at the end of the row
  std::string trouble;  // why the row has no figures, or a remark
  // A program did not start, or it might have set the clock: the run stops.
  bool unsafe = false;
};

// Runs one row in a fresh folder; every process it starts has ended when it
// returns.
RowResult RunRow(const std::string& protocol, const std::string& delay_ms,
                 const std::string& zone, int seconds) {
  RowResult result;
  const orvik::testing::TempDir root;
  const fs::path work = root.path() / "work";
  const fs::path clock_log = root.path() / "clock-calls.txt";
  const fs::path daemon_stderr = root.path() / "orvik-gpstimed.stderr";
  std::error_code error;
  if (root.path().empty() || !fs::create_directory(work, error) ||
      !orvik::testing::WriteFileAtomically(work / "GPS_parm.txt", SettingsText(protocol, delay_ms))) {
    result.trouble = "no temporary folder";
    return result;
  }
  const std::string run_seconds = std::to_string(seconds + 10);
  orvik::testing::ProcessOptions sim_options;
  // The simulator stands for hardware whose timing a busy machine does not
  // disturb: it runs at a raised priority. The program under test starts at
  // the normal one and raises its reading thread as far as it may.
  sim_options.argv = {GPSTIME_SIM_PATH, "--dir", work.string(), "--port", "2",
                      "--protocol", protocol, "--pace", "bytes", "--delay-ms", delay_ms,
                      "--start-delay", std::to_string(kSilenceBeforeData.count()),
                      "--duration", run_seconds};
  sim_options.niceness = -15;
  sim_options.capture_stdout = true;
  ChildProcess sim(sim_options);
  const auto sim_started = E2eClock::now();
  if (!sim.started()) {
    result.trouble = sim.failure();
    result.unsafe = true;
    return result;
  }
  if (!sim.ReadLine(10s)) {
    result.trouble = "the simulator did not start";
    return result;
  }
  std::unique_ptr<ChildProcess> daemon =
      orvik::testing::StartHeadless(Programs(), work, daemon_stderr, clock_log,
                                    orvik::testing::StandardStreams::kInherited, zone);
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
  const auto end_at = sim_started + kSilenceBeforeData + std::chrono::seconds(seconds);
  orvik::testing::WaitUntil([&] { return E2eClock::now() >= end_at || !daemon->Running(); },
                            std::chrono::seconds(seconds) + kSilenceBeforeData, 100ms);
  if (!daemon->Running()) result.trouble = "orvik-gpstimed ended early";
  result.load = LoadAverage();
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

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
    std::printf(
        "Usage: clock_accuracy [--protocols nmea,nmea9600,m12,oncore] [--delays 0,250]\n"
        "                      [--zones UTC,Europe/Berlin] [--seconds 15]\n"
        "Each list picks rows (default: all of them); --seconds of messages per row.\n");
    return 0;
  }
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) return 2;
  if (UsePrivateNetwork()) {
    std::printf("clock_accuracy: in a network namespace of its own\n");
  } else if (!orvik::testing::PortIsFree(orvik::testing::kServerPort)) {
    std::fprintf(stderr, "clock_accuracy: TCP port 1609 is in use: refusing to start\n");
    return 1;
  }
  std::printf("clock_accuracy: %d s of messages per row; error = value set - real time at "
              "the call;\n  ms figures after taking out the whole hours; target: median "
              "|error| <= %.0f ms and max <= %.0f ms, hours included;\n  sim late ms: median/max "
              "of how late the simulator's output began (it adds to |error|);\n  load: the "
              "machine's 1-minute load average at the end of the row\n",
              options->seconds, orvik::bench::kTargetMedianMs, orvik::bench::kTargetMaxMs);
  std::printf("%s\n", orvik::bench::TableHeader().c_str());
  std::fflush(stdout);
  for (const std::string& protocol : options->protocols) {
    for (const std::string& delay : options->delays) {
      for (const std::string& zone : options->zones) {
        const RowResult result = RunRow(protocol, delay, zone, options->seconds);
        if (result.unsafe) {
          std::fprintf(stderr, "clock_accuracy: %s: stopping\n", result.trouble.c_str());
          return 1;
        }
        const std::string row = protocol + " delay " + delay + " " + zone;
        std::printf("%s\n",
                    orvik::bench::TableRow(row, orvik::bench::Summarize(result.settings.errors_ns),
                                           orvik::bench::SpreadOf(result.simulator_late_ms),
                                           result.load)
                        .c_str());
        if (result.settings.other_calls > 0 || result.settings.unreadable > 0) {
          std::printf("  (also %d other clock calls, %d unreadable lines)\n",
                      result.settings.other_calls, result.settings.unreadable);
        }
        if (!result.trouble.empty()) std::printf("  (%s)\n", result.trouble.c_str());
        std::fflush(stdout);
      }
    }
  }
  return 0;
}

// gpstime-sim: a GPS receiver simulator on a pseudo-terminal. See --help.
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "gpstime_sim/live_feed.h"
#include "gpstime_sim/options.h"
#include "gpstime_sim/pty_port.h"
#include "gpstime_sim/replay.h"
#include "gpstime_sim/sim_line.h"
#include "gpstime_sim/stop_signal.h"
#include "orvik_version.h"

namespace {

using orvik::tools::SimOptions;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int Fail(const std::string& message, int code) {
  std::fprintf(stderr, "gpstime-sim: %s\n", message.c_str());
  if (code == kExitUsage) std::fprintf(stderr, "Try 'gpstime-sim --help'.\n");
  return code;
}

int Run(const SimOptions& options) {
  std::vector<std::uint8_t> capture;
  if (!options.replay_file.empty()) {
    auto read = orvik::tools::ReadCapture(options.replay_file);
    if (!read.ok()) return Fail(read.status().message(), kExitFailure);
    capture = std::move(read).value();
  }
  // Appended to, so several runs of a benchmark can share one log.
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> write_log(
      options.write_log.empty() ? nullptr : std::fopen(options.write_log.c_str(), "ae"),
      [](std::FILE* file) { return file != nullptr ? std::fclose(file) : 0; });
  if (!options.write_log.empty() && !write_log) {
    return Fail("cannot write " + options.write_log, kExitFailure);
  }
  // Handlers first, so a stop that arrives once the link exists still removes it.
  auto stop = orvik::tools::StopSignal::Install();
  if (!stop.ok()) return Fail(stop.status().message(), kExitFailure);
  auto port = orvik::tools::PtyPort::Create(options.dir, options.port);
  if (!port.ok()) return Fail(port.status().message(), kExitFailure);

  std::printf("gpstime-sim: %s linked as %s\n", port.value().slave_path().c_str(),
              port.value().link_path().c_str());
  std::fflush(stdout);

  orvik::tools::SimLine line(
      port.value(), stop.value(),
      {options.pace != orvik::tools::Pace::kSentence, options.pace == orvik::tools::Pace::kLines,
       options.baud, options.quiet});
  const std::int64_t sent = options.replay_file.empty()
                                ? orvik::tools::RunLiveFeed(options, line, write_log.get())
                                : orvik::tools::RunReplay(options, capture, line);
  line.FlushCommands();
  const bool stopped = stop.value().requested();
  line.Note("gpstime-sim: " + std::string(stopped ? "stopped" : "done") + " after " +
            std::to_string(sent) + (options.replay_file.empty() ? " time messages" : " sentences"));
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + 1, argv + argc);
  const auto options = orvik::tools::ParseOptions(args);
  if (!options.ok()) return Fail(options.status().message(), kExitUsage);
  if (options.value().help) {
    std::fputs(orvik::tools::HelpText().c_str(), stdout);
    return kExitOk;
  }
  if (options.value().version) {
    std::printf("gpstime-sim %s\n", orvik::kVersion);
    return kExitOk;
  }
  return Run(options.value());
}

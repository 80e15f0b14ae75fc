// Helpers of the benchmarks that run the real headless program beside a
// receiver on a pty (clock_accuracy, line_timing): a network namespace of
// their own, the settings file they give the program, the machine's load,
// and busy loops that load the machine on purpose. Main thread only.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace orvik::bench {

// The GMT difference the benchmarks configure; summer time stays off, so a
// record's local time is UTC plus this.
inline constexpr int kBenchGmtHours = 2;

// Moves this process into a network namespace of its own with its loopback
// up; the programs it starts later inherit it. Returns false where that is
// not allowed (not root). REQUIRES: no other thread runs yet.
bool UsePrivateNetwork();

// The comma-separated items of `text`, empty ones left out.
std::vector<std::string> SplitList(std::string_view text);

// The machine's load average over the last minute, or -1.
double LoadAverage();

// "GPS_parm.txt" for a benchmark: COM2, GMT difference kBenchGmtHours, a
// record every second, a clock setting attempted at every message (interval
// 0), switches off, `protocol_word` on line 13, logging off, and
// `receiver_delay_ms` on line 15.
std::string EveryMessageSettings(std::string_view protocol_word,
                                 std::string_view receiver_delay_ms = "0");

// BusyLoops: `count` child processes that each spin on a CPU until `limit`
// has passed, standing for other work on the machine. The destructor ends
// those still running by their PIDs (SIGKILL) and reaps them all.
class BusyLoops {
 public:
  BusyLoops(int count, std::chrono::milliseconds limit);
  ~BusyLoops();
  BusyLoops(const BusyLoops&) = delete;
  BusyLoops& operator=(const BusyLoops&) = delete;

  // How many loops started.
  int started() const { return static_cast<int>(pids_.size()); }

 private:
  std::vector<pid_t> pids_;
};

}  // namespace orvik::bench

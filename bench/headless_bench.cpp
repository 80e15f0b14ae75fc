#include "bench/headless_bench.h"

#include <net/if.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/posix/unique_fd.h"

namespace orvik::bench {

bool UsePrivateNetwork() {
  if (::unshare(CLONE_NEWNET) != 0) return false;
  const platform::UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  if (!fd.valid() || ::ioctl(fd.get(), SIOCGIFFLAGS, &request) != 0) return false;
  request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
  return ::ioctl(fd.get(), SIOCSIFFLAGS, &request) == 0;
}

std::vector<std::string> SplitList(std::string_view text) {
  std::vector<std::string> items;
  while (true) {
    const std::size_t comma = text.find(',');
    if (!text.substr(0, comma).empty()) items.emplace_back(text.substr(0, comma));
    if (comma == std::string_view::npos) return items;
    text.remove_prefix(comma + 1);
  }
}

double LoadAverage() {
  double load = -1;
  if (std::FILE* file = std::fopen("/proc/loadavg", "re")) {
    if (std::fscanf(file, "%lf", &load) != 1) load = -1;
    std::fclose(file);
  }
  return load;
}

std::string EveryMessageSettings(std::string_view protocol_word,
                                 std::string_view receiver_delay_ms) {
  std::string text;
  const auto add = [&text](std::string_view line) { text.append(line).append("\r\n"); };
  add("2");
  add(std::to_string(kBenchGmtHours));
  for (const char* line :
       {"1", "0", ";ONLY_MIN_SEC", ";SOUND_DISABLED", ";SUMMER_TIME", "3", "3", "10", "4", "0"}) {
    add(line);
  }
  add(protocol_word);
  add("LOGGING_DISABLED");
  add(receiver_delay_ms);
  return text;
}

BusyLoops::BusyLoops(int count, std::chrono::milliseconds limit) {
  timespec start{};
  ::clock_gettime(CLOCK_MONOTONIC, &start);
  const std::int64_t end_ns = start.tv_sec * 1'000'000'000LL + start.tv_nsec +
                              std::chrono::duration_cast<std::chrono::nanoseconds>(limit).count();
  for (int i = 0; i < count; ++i) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      // The child only spins and reads the clock: both are safe after a
      // fork, whatever other threads the parent has.
      timespec now{};
      do {
        ::clock_gettime(CLOCK_MONOTONIC, &now);
      } while (now.tv_sec * 1'000'000'000LL + now.tv_nsec < end_ns);
      ::_exit(0);
    }
    if (pid > 0) pids_.push_back(pid);
  }
}

BusyLoops::~BusyLoops() {
  for (const pid_t pid : pids_) {
    // Only a child that is still ours and running is signalled.
    if (::waitpid(pid, nullptr, WNOHANG) != 0) continue;  // reaped now (or not ours)
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);  // SIGKILL cannot be ignored: this returns
  }
}

}  // namespace orvik::bench

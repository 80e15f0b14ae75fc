// Prints what one blocking hand-over from a second thread to the main thread
// costs on each main-loop backend (qt, epoll), the way the acquisition thread
// hands every time record to the time server, with 0, 1000 and 4096 idle
// connections watched beside it as a server's clients would be:
//   to work:    from the RunInMainThread call until the work starts (µs)
//   round trip: until the call has returned (µs)
//   CPU:        the whole process's CPU time per hand-over (µs)
//   main_loop_handover [ROUNDS, default 300; a hand-over every 4 ms]
// Each case ends by itself; a guard ends the program should a loop hang.
// Nothing is asserted.
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bench/bench_support.h"
#include "platform/posix/open_file_limit.h"
#include "platform/posix/unique_fd.h"
#include "service/hand_over_bridge.h"
#include "service/posix/epoll_main_loop.h"
#include "service/qt/qt_main_loop.h"

namespace {

using orvik::bench::NowNs;
using orvik::platform::UniqueFd;

std::int64_t Percentile(std::vector<std::int64_t> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1))];
}

void Measure(const char* name, orvik::service::MainLoop& loop, int idle, int rounds) {
  std::vector<std::pair<UniqueFd, UniqueFd>> pairs;
  std::vector<std::unique_ptr<orvik::service::SocketWatch>> watches;
  for (int i = 0; i < idle; ++i) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) {
      std::printf("%s: %d idle connections: out of descriptors after %d\n", name, idle, i);
      return;
    }
    pairs.emplace_back(UniqueFd(fds[0]), UniqueFd(fds[1]));
    watches.push_back(loop.WatchSocket(
        fds[0], [] {}, [] {}));
  }
  std::vector<std::int64_t> to_work, round_trip;
  orvik::service::HandOverBridge bridge(std::bind_front(&orvik::service::MainLoop::Post, &loop));
  const double cpu_before = orvik::bench::CpuSeconds(RUSAGE_SELF);
  std::thread worker([&] {
    for (int i = 0; i < rounds; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(4));
      const std::int64_t start = NowNs();
      std::int64_t began = 0;
      bridge.RunInMainThread([&] { began = NowNs(); });
      round_trip.push_back(NowNs() - start);
      to_work.push_back(began - start);
    }
    loop.Post([&] { loop.Quit(); });
  });
  auto guard = loop.MakeTimer([] {
    std::fprintf(stderr, "main_loop_handover: a loop hung; giving up\n");
    std::_Exit(1);
  });
  guard->StartOnce(std::chrono::milliseconds(rounds * 4 + 30000));
  loop.Run();
  worker.join();
  const double cpu_us = (orvik::bench::CpuSeconds(RUSAGE_SELF) - cpu_before) * 1e6 / rounds;
  std::printf(
      "%-5s idle=%-5d to work p50/p99 %5.1f / %6.1f µs   round trip p50/p99 %5.1f / %6.1f µs"
      "   CPU %6.1f µs per hand-over\n",
      name, idle, Percentile(to_work, 0.5) / 1e3, Percentile(to_work, 0.99) / 1e3,
      Percentile(round_trip, 0.5) / 1e3, Percentile(round_trip, 0.99) / 1e3, cpu_us);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::clamp(std::atoi(argv[1]), 10, 5000) : 300;
  orvik::platform::RaiseOpenFileLimit();
  QCoreApplication app(argc, argv);
  for (const int idle : {0, 1000, 4096}) {
    {
      orvik::service::QtMainLoop qt;
      Measure("qt", qt, idle, rounds);
    }
    {
      orvik::service::EpollMainLoop epoll;
      Measure("epoll", epoll, idle, rounds);
    }
  }
  return 0;
}

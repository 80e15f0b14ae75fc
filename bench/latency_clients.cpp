// N LAN clients of one time server, connecting at once, and the latency of
// what they receive, measured from the receiver simulator's write log.
//
//   latency_clients --protocol orvik|gpsd --port P --clients N --seconds S
//                   --write-log FILE [--server-pid PID] [--label TEXT]
//
// Right after the simulator has logged an RMC line feed (gpstime-sim
// --log-writes), all N clients connect at once to 127.0.0.1:P, spread over
// the source addresses 127.0.0.1 to .250. Each client has the kernel stamp
// the data it receives (SO_TIMESTAMPNS, CLOCK_REALTIME). orvik: each 39-byte
// record; gpsd: the client sends ?WATCH={"enable":true,"json":true} and takes
// each TPV report. A message belongs to the RMC of the same minute and second
// (records carry local time; whole hours and the date are left aside), and
// its latency is its receive stamp minus the real time the simulator wrote
// that RMC's line feed. After S seconds it prints one line of figures:
//   label=L clients=N served=.. first=.. lost=.. messages=.. p50_us=.. p99_us=..
//   max_us=.. cpu_ms_per_60=.. rss_mb=..
//   served: clients that received anything; first: clients that received the
//   first RMC whose line feed was written after they had connected (and
//   asked); lost: messages missing, over all clients, among the RMCs written
//   after each client connected and at least 1.5 s before the end; messages:
//   those received that name a logged RMC; p50, p99 and max of their
//   latencies in microseconds; CPU: the server's
//   CPU time (all its threads, from /proc/PID/task/*/schedstat) per 60 RMCs
//   over the measured span; RSS: the server's VmRSS at the end.
// It starts no program: bench/compare_gpsd.sh runs the servers and the
// simulator, each under `setpriv --bounding-set -sys_time`. Every loop is
// bounded in count and time; nothing is asserted.
#include <sys/epoll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "bench/bench_support.h"
#include "core/time_message.h"
#include "platform/posix/open_file_limit.h"
#include "platform/posix/unique_fd.h"

namespace {

using orvik::platform::UniqueFd;
using std::chrono::milliseconds;

constexpr int kMaxClients = 8192;
constexpr int kMaxSeconds = 120;
constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
// RMCs this close to the end may still be on their way: not counted as lost.
constexpr std::int64_t kEndMarginNs = 1'500'000'000;
constexpr std::string_view kWatch = "?WATCH={\"enable\":true,\"json\":true}\n";

struct Options {
  bool gpsd = false;
  std::uint16_t port = 0;
  int clients = 1;
  int seconds = 20;
  std::string write_log;
  int server_pid = 0;
  std::string label;
};

std::int64_t RealtimeNs() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<std::int64_t>(now.tv_sec) * kNanosPerSecond + now.tv_nsec;
}

// A message's place in the hour: minute * 60 + second.
using SecondKey = int;

// One received message: which second it names and when the kernel had it.
struct Received {
  SecondKey key;
  std::int64_t stamp_ns;
};

struct Client {
  UniqueFd fd;
  std::int64_t ready_ns = 0;  // connected (and, for gpsd, asked); 0: not yet
  bool closed = false;
  std::string pending;  // bytes of a message not complete yet
  std::vector<Received> received;
};

// RMC line feeds of the simulator's write log: stamp by second of the hour.
struct RmcWrites {
  std::vector<std::pair<std::int64_t, SecondKey>> by_time;  // ascending stamps
};

RmcWrites ReadRmcWrites(const std::string& path) {
  RmcWrites writes;
  std::ifstream in(path);
  std::string name;
  long long utc_ms = 0;
  long long stamp = 0;
  for (int lines = 0; lines < 10'000'000 && in >> name >> utc_ms >> stamp; ++lines) {
    if (name != "GPRMC") continue;
    const long long second_of_hour = (utc_ms / 1000) % 3600;
    writes.by_time.emplace_back(stamp, static_cast<SecondKey>(second_of_hour));
  }
  std::sort(writes.by_time.begin(), writes.by_time.end());
  return writes;
}

// Waits (bounded) until the log holds an RMC written after `after_ns`.
bool WaitForRmcAfter(const std::string& path, std::int64_t after_ns, milliseconds limit) {
  const auto give_up = orvik::bench::BenchClock::now() + limit;
  while (orvik::bench::BenchClock::now() < give_up) {
    const RmcWrites writes = ReadRmcWrites(path);
    if (!writes.by_time.empty() && writes.by_time.back().first > after_ns) return true;
    ::usleep(2000);
  }
  return false;
}

// The second of the hour named by a 39-byte record, if it is one.
std::optional<SecondKey> RecordKey(std::string_view bytes) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  orvik::core::TimeMessage record{};
  std::copy_n(data, record.size(), record.begin());
  if (!orvik::bench::HasEndMark(record)) return std::nullopt;
  return record[orvik::core::kOffsetMinute] * 60 + record[orvik::core::kOffsetSecond];
}

// The second of the hour of a TPV report's "time":"YYYY-MM-DDTHH:MM:SS...".
std::optional<SecondKey> TpvKey(std::string_view line) {
  if (line.find("\"class\":\"TPV\"") == std::string_view::npos) return std::nullopt;
  const std::size_t at = line.find("\"time\":\"");
  if (at == std::string_view::npos || at + 8 + 19 > line.size()) return std::nullopt;
  const std::string_view time = line.substr(at + 8, 19);
  if (time[10] != 'T' || time[13] != ':' || time[16] != ':') return std::nullopt;
  const auto two = [&time](std::size_t i) { return (time[i] - '0') * 10 + (time[i + 1] - '0'); };
  return two(14) * 60 + two(17);
}

// Cuts whole messages from the client's bytes and records them with `stamp`.
void TakeMessages(Client& client, bool gpsd, std::int64_t stamp) {
  std::size_t used = 0;
  while (true) {
    std::optional<SecondKey> key;
    if (gpsd) {
      const std::size_t lf = client.pending.find('\n', used);
      if (lf == std::string::npos) break;
      key = TpvKey(std::string_view(client.pending).substr(used, lf - used));
      used = lf + 1;
    } else {
      if (client.pending.size() - used < orvik::core::kTimeMessageSize) break;
      key = RecordKey(std::string_view(client.pending).substr(used));
      used += orvik::core::kTimeMessageSize;
    }
    if (key) client.received.push_back({*key, stamp});
  }
  client.pending.erase(0, used);
}

// Reads what the socket holds; returns false when the peer closed.
bool ReadClient(Client& client, bool gpsd) {
  for (int reads = 0; reads < 64; ++reads) {
    std::array<char, 4096> buffer;
    std::array<char, CMSG_SPACE(sizeof(timespec))> control{};
    iovec io{buffer.data(), buffer.size()};
    msghdr message{};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control.data();
    message.msg_controllen = control.size();
    const ssize_t got = ::recvmsg(client.fd.get(), &message, MSG_DONTWAIT);
    if (got == 0) return false;
    if (got < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    std::int64_t stamp = 0;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
      if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_TIMESTAMPNS) {
        timespec t{};
        std::memcpy(&t, CMSG_DATA(c), sizeof t);
        stamp = static_cast<std::int64_t>(t.tv_sec) * kNanosPerSecond + t.tv_nsec;
      }
    }
    if (stamp == 0) stamp = RealtimeNs();  // no kernel stamp: the read's own time
    client.pending.append(buffer.data(), static_cast<std::size_t>(got));
    if (client.pending.size() > 1 << 20) client.pending.clear();  // garbage: never grows
    TakeMessages(client, gpsd, stamp);
    // A short read took all there was: no second call to hear EAGAIN. The
    // clients share the server's machine; they should cost it little.
    if (static_cast<std::size_t>(got) < buffer.size()) break;
  }
  return true;
}

// Sum of the run times of the threads of `pid`, in nanoseconds.
std::int64_t ThreadsCpuNs(int pid) {
  std::int64_t total = 0;
  std::error_code error;
  const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
  for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
    std::ifstream in(task.path() / "schedstat");
    long long run_ns = 0;
    if (in >> run_ns) total += run_ns;
  }
  return total;
}

double VmRssMb(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atof(line.c_str() + 6) / 1024.0;
  }
  return 0;
}

std::int64_t Percentile(std::vector<std::int64_t> values, double fraction) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  const auto at = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(at, values.size() - 1)];
}

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view name = argv[i];
    const std::string value = argv[i + 1];
    if (name == "--protocol" && (value == "orvik" || value == "gpsd")) {
      options.gpsd = value == "gpsd";
    } else if (name == "--port") {
      options.port = static_cast<std::uint16_t>(std::atoi(value.c_str()));
    } else if (name == "--clients") {
      options.clients = std::atoi(value.c_str());
    } else if (name == "--seconds") {
      options.seconds = std::atoi(value.c_str());
    } else if (name == "--write-log") {
      options.write_log = value;
    } else if (name == "--server-pid") {
      options.server_pid = std::atoi(value.c_str());
    } else if (name == "--label") {
      options.label = value;
    } else {
      return std::nullopt;
    }
  }
  if (argc % 2 != 1 || options.port == 0 || options.clients < 1 || options.clients > kMaxClients ||
      options.seconds < 3 || options.seconds > kMaxSeconds || options.write_log.empty()) {
    return std::nullopt;
  }
  if (options.label.empty()) options.label = options.gpsd ? "gpsd" : "orvik";
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> parsed = ParseOptions(argc, argv);
  if (!parsed) {
    std::fprintf(stderr,
                 "usage: latency_clients --protocol orvik|gpsd --port P --clients 1..%d "
                 "--seconds 3..%d --write-log FILE [--server-pid PID] [--label TEXT]\n",
                 kMaxClients, kMaxSeconds);
    return 2;
  }
  const Options& options = *parsed;
  orvik::platform::RaiseOpenFileLimit();

  // Connect just after an RMC, so the server has most of a second to take
  // every client in before the next one.
  if (!WaitForRmcAfter(options.write_log, RealtimeNs(), milliseconds(5000))) {
    std::fprintf(stderr, "latency_clients: no RMC in %s within 5 s\n", options.write_log.c_str());
    return 1;
  }
  const UniqueFd epoll(::epoll_create1(EPOLL_CLOEXEC));
  std::vector<Client> clients(static_cast<std::size_t>(options.clients));
  int connect_failures = 0;
  for (std::size_t i = 0; i < clients.size(); ++i) {
    clients[i].fd = orvik::bench::ConnectLoopback(options.port, orvik::bench::LoopbackHostFor(i));
    if (!clients[i].fd.valid()) {
      ++connect_failures;
      clients[i].closed = true;
      continue;
    }
    const int on = 1;
    ::setsockopt(clients[i].fd.get(), SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
    epoll_event event{};
    event.events = EPOLLIN | EPOLLOUT;
    event.data.u64 = i;
    ::epoll_ctl(epoll.get(), EPOLL_CTL_ADD, clients[i].fd.get(), &event);
  }
  const std::int64_t connects_made_ns = RealtimeNs();
  std::int64_t cpu_start_ns = options.server_pid > 0 ? ThreadsCpuNs(options.server_pid) : 0;
  const auto end_at = orvik::bench::BenchClock::now() + std::chrono::seconds(options.seconds);
  std::vector<epoll_event> events(256);
  while (orvik::bench::BenchClock::now() < end_at) {
    const int ready = ::epoll_wait(epoll.get(), events.data(), static_cast<int>(events.size()), 50);
    for (int e = 0; e < ready; ++e) {
      Client& client = clients[events[static_cast<std::size_t>(e)].data.u64];
      if (client.closed) continue;
      if (client.ready_ns == 0) {
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(client.fd.get(), SOL_SOCKET, SO_ERROR, &error, &length);
        if (error != 0) {
          client.closed = true;
          ::epoll_ctl(epoll.get(), EPOLL_CTL_DEL, client.fd.get(), nullptr);
          continue;
        }
        if (options.gpsd && ::send(client.fd.get(), kWatch.data(), kWatch.size(), MSG_NOSIGNAL) !=
                                static_cast<ssize_t>(kWatch.size())) {
          continue;  // not writable yet after all: asked again at the next event
        }
        client.ready_ns = RealtimeNs();
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u64 = events[static_cast<std::size_t>(e)].data.u64;
        ::epoll_ctl(epoll.get(), EPOLL_CTL_MOD, client.fd.get(), &event);
      }
      if (!ReadClient(client, options.gpsd)) {
        client.closed = true;
        ::epoll_ctl(epoll.get(), EPOLL_CTL_DEL, client.fd.get(), nullptr);
      }
    }
  }
  const std::int64_t end_ns = RealtimeNs();
  const std::int64_t cpu_end_ns = options.server_pid > 0 ? ThreadsCpuNs(options.server_pid) : 0;
  const double rss_mb = options.server_pid > 0 ? VmRssMb(options.server_pid) : 0;

  const RmcWrites writes = ReadRmcWrites(options.write_log);
  std::map<SecondKey, std::int64_t> rmc_at;  // the RMCs of this run
  int rmcs_measured = 0;
  for (const auto& [stamp, key] : writes.by_time) {
    if (stamp <= connects_made_ns - kNanosPerSecond || stamp > end_ns) continue;
    rmc_at[key] = stamp;
    if (stamp > connects_made_ns) ++rmcs_measured;
  }
  std::vector<std::int64_t> latencies;
  int served = 0;
  int first = 0;
  long lost = 0;
  int never_ready = 0;
  for (const Client& client : clients) {
    if (client.ready_ns == 0 && client.fd.valid()) ++never_ready;
    std::map<SecondKey, std::int64_t> got;  // the first of each second
    for (const Received& message : client.received) got.emplace(message.key, message.stamp_ns);
    if (!got.empty()) ++served;
    for (const auto& [key, stamp] : got) {
      const auto rmc = rmc_at.find(key);
      if (rmc != rmc_at.end()) latencies.push_back(stamp - rmc->second);
    }
    if (client.ready_ns == 0) continue;
    bool first_expected = true;
    for (const auto& [stamp, key] : writes.by_time) {
      if (stamp <= client.ready_ns || stamp > end_ns - kEndMarginNs) continue;
      const bool received = got.contains(key);
      if (first_expected && received) ++first;
      first_expected = false;
      if (!received) ++lost;
    }
  }
  const auto micros = [](std::int64_t ns) { return ns < 0 ? -1.0 : static_cast<double>(ns) / 1e3; };
  const double cpu_ms_per_60 =
      rmcs_measured > 0 && options.server_pid > 0
          ? static_cast<double>(cpu_end_ns - cpu_start_ns) / 1e6 * 60.0 / rmcs_measured
          : -1;
  std::printf(
      "label=%s clients=%d served=%d first=%d lost=%ld messages=%zu p50_us=%.0f "
      "p99_us=%.0f max_us=%.0f cpu_ms_per_60=%.1f rss_mb=%.1f\n",
      options.label.c_str(), options.clients, served, first, lost, latencies.size(),
      micros(Percentile(latencies, 0.5)), micros(Percentile(latencies, 0.99)),
      micros(Percentile(latencies, 1.0)), cpu_ms_per_60, rss_mb);
  if (connect_failures > 0 || never_ready > 0) {
    std::printf("  (%d connects failed at once, %d clients never connected)\n", connect_failures,
                never_ready);
  }
  std::fflush(stdout);
  return 0;
}

// Prints how the LAN time server serves many clients on loopback, for N = 1,
// 32, 256, 1000 and 4096 clients (as far as the descriptor limit allows). The
// server sends a numbered record every 20 ms from its start.
//  - Burst: all N clients connect at the same instant, as every client of a
//    LAN does after a server restart, spread over the source addresses
//    127.0.0.1 to .250. First-record latency: from a client's connect() call
//    until it has read its first whole record (median, p99, max in ms);
//    clients served later than one second, clients never served (within 10 s),
//    connections the server refused.
//  - Fan-out: then 200 more records: per-record latency from the
//    Retransmit_to_LAN call until a client has read the whole record (median,
//    p99, max in microseconds, over every client and record), records lost,
//    CPU time of the server thread and of the whole process, peak RSS.
//   lan_fanout [MAX_CLIENTS, default 4096]
// The server runs in the main thread; the clients connect and read in a
// second thread with epoll. Finishes by itself; nothing is asserted.
#include <sys/epoll.h>
#include <sys/resource.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "core/time_message.h"
#include "platform/posix/open_file_limit.h"
#include "platform/posix/unique_fd.h"
#include "service/qt/qt_main_loop.h"
#include "service/time_server.h"

namespace {

using namespace orvik;
using bench::CpuSeconds;
using bench::NowNs;
using bench::PeakRssKb;
using Clock = bench::BenchClock;

constexpr int kRecords = 200;
constexpr auto kSpacing = std::chrono::milliseconds(20);
constexpr auto kBurstLimit = std::chrono::seconds(10);
constexpr std::int64_t kOneSecondNs = 1'000'000'000;
// Records sent during the burst (at most its limit) and the timed ones after it.
constexpr std::size_t kRecordCapacity = kBurstLimit / kSpacing + kRecords + 50;

// What the clients saw, taken once they stop.
struct FleetFigures {
  std::vector<std::int64_t> first_record_ns;  // one per client served
  std::vector<std::int64_t> latencies_ns;     // one per timed record read
};

// The clients: connects all N sockets at once, then reads with epoll, notes
// when each client has its first whole record and times the records from
// `measure_from` on.
class ClientFleet {
 public:
  ClientFleet(std::uint16_t port, int count, const std::vector<std::atomic<std::int64_t>>& sent)
      : port_(port),
        count_(count),
        sent_ns_(sent),
        parts_(count),
        connect_ns_(count, 0),
        first_ns_(count, -1) {
    figures_.latencies_ns.reserve(static_cast<std::size_t>(count) * kRecords);
    thread_ = std::thread([this] { Run(); });
  }
  ~ClientFleet() { Stop(); }

  std::atomic<int> served{0};  // clients that have read a whole record
  std::atomic<bool> connect_failed{false};
  // Records with this sequence or later are timed (set by the server thread).
  std::atomic<std::uint32_t> measure_from{std::numeric_limits<std::uint32_t>::max()};

  // Stops the readers and returns what they saw.
  FleetFigures Take() {
    Stop();
    return std::move(figures_);
  }

 private:
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }

  void Run() {
    epoll_.reset(epoll_create1(EPOLL_CLOEXEC));
    for (int i = 0; i < count_; ++i) {
      connect_ns_[i] = NowNs();
      platform::UniqueFd fd =
          bench::ConnectLoopback(port_, bench::LoopbackHostFor(static_cast<std::size_t>(i)));
      if (!fd.valid()) {
        connect_failed = true;
        break;
      }
      epoll_event event{};
      event.events = EPOLLIN;
      event.data.u32 = static_cast<std::uint32_t>(fds_.size());
      epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, fd.get(), &event);
      fds_.push_back(std::move(fd));
    }
    std::array<epoll_event, 256> events;
    std::array<std::uint8_t, 4096> buffer;
    while (!stop_) {
      const int ready = epoll_wait(epoll_.get(), events.data(), events.size(), 50);
      for (int i = 0; i < ready; ++i) {
        const std::uint32_t client = events[i].data.u32;
        for (int reads = 0; reads < 64; ++reads) {
          const ssize_t got = ::read(fds_[client].get(), buffer.data(), buffer.size());
          if (got == 0) epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, fds_[client].get(), nullptr);
          if (got <= 0) break;
          Consume(client, {buffer.data(), static_cast<std::size_t>(got)});
        }
      }
    }
    fds_.clear();
  }

  void Consume(std::uint32_t client, std::span<const std::uint8_t> bytes) {
    for (const core::TimeMessage& record : parts_[client].Push(bytes)) {
      const std::optional<std::uint32_t> sequence = bench::CheckNumberedRecord(record);
      if (!sequence || *sequence >= sent_ns_.size()) continue;
      const std::int64_t now = NowNs();
      if (first_ns_[client] < 0) {
        first_ns_[client] = now - connect_ns_[client];
        figures_.first_record_ns.push_back(first_ns_[client]);
        ++served;
      }
      if (*sequence >= measure_from.load()) {
        figures_.latencies_ns.push_back(now - sent_ns_[*sequence]);
      }
    }
  }

  const std::uint16_t port_;
  const int count_;
  const std::vector<std::atomic<std::int64_t>>& sent_ns_;
  std::vector<bench::RecordCutter> parts_;
  std::vector<std::int64_t> connect_ns_;  // when each client called connect()
  std::vector<std::int64_t> first_ns_;    // its first-record latency, -1 until then
  std::vector<platform::UniqueFd> fds_;
  platform::UniqueFd epoll_;
  FleetFigures figures_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// The value at quantile `q` of the sorted `values`, divided by `unit`.
double Quantile(const std::vector<std::int64_t>& values, double q, double unit) {
  if (values.empty()) return 0.0;
  const auto index = static_cast<std::size_t>(q * static_cast<double>(values.size() - 1));
  return static_cast<double>(values[index]) / unit;
}

void RunOnce(int clients) {
  service::QtMainLoop main_loop;
  service::TimeServer server(main_loop, service::TimeServerOptions{.port = 0});
  if (const core::Status status = server.Activate(); !status.ok()) {
    std::printf("%6d  listener failed: %s\n", clients, status.message().c_str());
    return;
  }
  std::vector<std::atomic<std::int64_t>> sent_ns(kRecordCapacity);
  QEventLoop loop;

  // Records flow from the start, a burst of clients arrives meanwhile.
  std::uint32_t next = 0;
  std::uint32_t measure_end = 0;  // 0 until the fan-out phase begins
  QTimer sender;
  sender.setTimerType(Qt::PreciseTimer);
  QObject::connect(&sender, &QTimer::timeout, &loop, [&] {
    sent_ns[next] = NowNs();
    server.Retransmit_to_LAN(bench::NumberedRecord(next));
    if (++next == measure_end || next == sent_ns.size()) {
      sender.stop();
      QTimer::singleShot(500, &loop, &QEventLoop::quit);
    }
  });
  sender.start(kSpacing);
  auto fleet = std::make_unique<ClientFleet>(server.ListeningPort(), clients, sent_ns);

  // The burst ends when every client has its first record (or at its limit).
  double server_cpu_before = 0;
  double process_cpu_before = 0;
  const auto burst_deadline = Clock::now() + kBurstLimit;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
    if (fleet->served < clients && !fleet->connect_failed && Clock::now() < burst_deadline) return;
    watch.stop();
    server_cpu_before = CpuSeconds(RUSAGE_THREAD);
    process_cpu_before = CpuSeconds(RUSAGE_SELF);
    fleet->measure_from = next;
    measure_end = next + kRecords;
  });
  watch.start(1);
  loop.exec();
  watch.stop();
  sender.stop();
  const double server_cpu = CpuSeconds(RUSAGE_THREAD) - server_cpu_before;
  const double process_cpu = CpuSeconds(RUSAGE_SELF) - process_cpu_before;

  FleetFigures figures = fleet->Take();
  fleet.reset();
  std::sort(figures.first_record_ns.begin(), figures.first_record_ns.end());
  std::sort(figures.latencies_ns.begin(), figures.latencies_ns.end());
  const auto served = static_cast<long>(figures.first_record_ns.size());
  const long late = std::count_if(figures.first_record_ns.begin(), figures.first_record_ns.end(),
                                  [](std::int64_t ns) { return ns > kOneSecondNs; });
  const long timed = measure_end == 0 ? 0 : static_cast<long>(clients) * kRecords;
  const long lost = timed - static_cast<long>(figures.latencies_ns.size());
  const auto& counters = server.Counters();
  std::printf(
      "%6d  %7.1f %7.1f %7.1f %5ld %5ld %6lu  %8.0f %8.0f %8.0f %7ld  %7lu %5lu  %6.2f %6.2f  "
      "%6ld\n",
      clients, Quantile(figures.first_record_ns, 0.5, 1e6),
      Quantile(figures.first_record_ns, 0.99, 1e6),
      figures.first_record_ns.empty() ? 0.0 : figures.first_record_ns.back() / 1e6, late,
      clients - served, static_cast<unsigned long>(counters.connections_refused),
      Quantile(figures.latencies_ns, 0.5, 1e3), Quantile(figures.latencies_ns, 0.99, 1e3),
      figures.latencies_ns.empty() ? 0.0 : figures.latencies_ns.back() / 1e3, lost,
      static_cast<unsigned long>(counters.records_dropped),
      static_cast<unsigned long>(counters.records_held_back), server_cpu, process_cpu,
      PeakRssKb() / 1024);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const int max_clients = argc > 1 ? std::atoi(argv[1]) : 4096;
  const std::uint64_t file_limit = platform::RaiseOpenFileLimit();
  QCoreApplication app(argc, argv);

  std::printf(
      "lan_fanout: a record every %lld ms; a burst of clients, then %d records timed; "
      "open-file limit %llu\n",
      static_cast<long long>(kSpacing.count()), kRecords,
      static_cast<unsigned long long>(file_limit));
  std::printf("%6s  %-42s  %-34s  %-13s  %-13s  %6s\n", "", "first record (ms)",
              "fan-out per record (us)", "server", "cpu (s)", "");
  std::printf("%6s  %7s %7s %7s %5s %5s %6s  %8s %8s %8s %7s  %7s %5s  %6s %6s  %6s\n", "client",
              "median", "p99", "max", ">1s", "never", "refus", "median", "p99", "max", "lost",
              "dropped", "held", "server", "all", "rss_mb");
  for (const int clients : {1, 32, 256, 1000, 4096}) {
    if (clients > max_clients) break;
    // Each client costs two descriptors here (both ends) plus the server's reserve.
    if (static_cast<unsigned long long>(2 * clients + 128) > file_limit) {
      std::printf("%6d  skipped: open-file limit %llu too low\n", clients,
                  static_cast<unsigned long long>(file_limit));
      continue;
    }
    RunOnce(clients);
  }
  return 0;
}

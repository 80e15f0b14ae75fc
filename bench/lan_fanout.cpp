// Prints how fast the LAN time server fans one record out to many clients on
// 127.0.0.1: for N = 1, 32, 256, 1000 and 4096 clients (as far as the
// descriptor limit allows), 200 records 20 ms apart; per-record latency from
// the Retransmit_to_LAN call until a client has read the whole record
// (median, p99, max in microseconds, over every client and record), records
// lost, CPU time of the server thread and of the whole process, peak RSS.
//   lan_fanout [MAX_CLIENTS, default 4096]
// The server runs in the main thread; the clients read in a second thread
// with epoll. Finishes by itself; nothing is asserted.
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
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "bench/bench_support.h"
#include "core/time_message.h"
#include "platform/unique_fd.h"
#include "service/time_server.h"

namespace {

using namespace orvik;
using bench::CpuSeconds;
using bench::NowNs;
using bench::PeakRssKb;
using Clock = bench::BenchClock;

constexpr int kRecords = 200;
constexpr auto kSpacing = std::chrono::milliseconds(20);
constexpr auto kSetupLimit = std::chrono::seconds(40);

// The clients: connects N sockets (never more unaccepted ones than the
// listener's backlog holds), then reads with epoll and times every record.
class ClientFleet {
 public:
  ClientFleet(std::uint16_t port, int count, const std::vector<std::atomic<std::int64_t>>& sent)
      : port_(port), count_(count), sent_ns_(sent), parts_(count) {
    latencies_ns_.reserve(static_cast<std::size_t>(count) * kRecords);
    thread_ = std::thread([this] { Run(); });
  }
  ~ClientFleet() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }

  std::atomic<int> accepted{0};  // written by the server thread
  std::atomic<bool> connect_failed{false};
  std::atomic<int> opened{0};

  // Stops the readers and returns one latency per record read, in nanoseconds.
  std::vector<std::int64_t> TakeLatencies() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return std::move(latencies_ns_);
  }

 private:
  void Run() {
    epoll_.reset(epoll_create1(EPOLL_CLOEXEC));
    const auto deadline = Clock::now() + kSetupLimit;
    while (opened < count_ && Clock::now() < deadline) {
      if (opened - accepted.load() >= 4) {
        std::this_thread::sleep_for(std::chrono::microseconds(50));
        continue;
      }
      platform::UniqueFd fd = bench::ConnectLoopback(port_);
      if (!fd.valid()) {
        connect_failed = true;
        return;
      }
      epoll_event event{};
      event.events = EPOLLIN;
      event.data.u32 = static_cast<std::uint32_t>(fds_.size());
      epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, fd.get(), &event);
      fds_.push_back(std::move(fd));
      ++opened;
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
      if (sequence && *sequence < sent_ns_.size()) {
        latencies_ns_.push_back(NowNs() - sent_ns_[*sequence]);
      }
    }
  }

  const std::uint16_t port_;
  const int count_;
  const std::vector<std::atomic<std::int64_t>>& sent_ns_;
  std::vector<bench::RecordCutter> parts_;
  std::vector<platform::UniqueFd> fds_;
  platform::UniqueFd epoll_;
  std::vector<std::int64_t> latencies_ns_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void RunOnce(int clients) {
  service::TimeServer server(service::TimeServerOptions{.port = 0});
  if (const core::Status status = server.Activate(); !status.ok()) {
    std::printf("%6d  listener failed: %s\n", clients, status.message().c_str());
    return;
  }
  std::vector<std::atomic<std::int64_t>> sent_ns(kRecords);
  auto fleet = std::make_unique<ClientFleet>(server.ListeningPort(), clients, sent_ns);

  QEventLoop loop;
  // Connection phase: publish how many the server has accepted.
  const auto setup_deadline = Clock::now() + kSetupLimit;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
    fleet->accepted = static_cast<int>(server.ConnectionCount());
    if (server.ConnectionCount() >= static_cast<std::size_t>(clients) || fleet->connect_failed ||
        Clock::now() > setup_deadline) {
      loop.quit();
    }
  });
  watch.start(1);
  const auto setup_start = Clock::now();
  loop.exec();
  watch.stop();
  const double setup_s = std::chrono::duration<double>(Clock::now() - setup_start).count();
  if (server.ConnectionCount() < static_cast<std::size_t>(clients)) {
    std::printf("%6d  only %zu connections after %.1f s; skipped\n", clients,
                server.ConnectionCount(), setup_s);
    return;
  }

  // Sending phase: 200 records, 20 ms apart, then half a second to drain.
  const double server_cpu_before = CpuSeconds(RUSAGE_THREAD);
  const double process_cpu_before = CpuSeconds(RUSAGE_SELF);
  int next = 0;
  QTimer sender;
  sender.setTimerType(Qt::PreciseTimer);
  QObject::connect(&sender, &QTimer::timeout, &loop, [&] {
    sent_ns[next] = NowNs();
    server.Retransmit_to_LAN(bench::NumberedRecord(static_cast<std::uint32_t>(next)));
    if (++next == kRecords) {
      sender.stop();
      QTimer::singleShot(500, &loop, &QEventLoop::quit);
    }
  });
  sender.start(kSpacing);
  loop.exec();
  const double server_cpu = CpuSeconds(RUSAGE_THREAD) - server_cpu_before;
  const double process_cpu = CpuSeconds(RUSAGE_SELF) - process_cpu_before;

  std::vector<std::int64_t> latencies = fleet->TakeLatencies();
  const long expected = static_cast<long>(clients) * kRecords;
  const long lost = expected - static_cast<long>(latencies.size());
  std::sort(latencies.begin(), latencies.end());
  auto at = [&](double q) {
    if (latencies.empty()) return 0.0;
    const auto index = static_cast<std::size_t>(q * static_cast<double>(latencies.size() - 1));
    return static_cast<double>(latencies[index]) / 1000.0;
  };
  std::printf("%6d  %9.0f %9.0f %9.0f  %7ld  %8lu %6lu  %7.2f %7.2f  %8ld  %6.1f\n", clients,
              at(0.5), at(0.99), latencies.empty() ? 0.0 : latencies.back() / 1000.0, lost,
              static_cast<unsigned long>(server.Counters().records_dropped),
              static_cast<unsigned long>(server.Counters().records_held_back), server_cpu,
              process_cpu, PeakRssKb() / 1024, setup_s);
  std::fflush(stdout);
  fleet.reset();
}

}  // namespace

int main(int argc, char** argv) {
  const int max_clients = argc > 1 ? std::atoi(argv[1]) : 4096;
  const rlim_t file_limit = bench::RaiseOpenFileLimit();
  QCoreApplication app(argc, argv);

  std::printf("lan_fanout: %d records %lld ms apart per run; open-file limit %llu\n", kRecords,
              static_cast<long long>(kSpacing.count()),
              static_cast<unsigned long long>(file_limit));
  std::printf("%6s  %9s %9s %9s  %7s  %8s %6s  %7s %7s  %8s  %6s\n", "client", "median_us",
              "p99_us", "max_us", "lost", "dropped", "held", "srv_cpu", "all_cpu", "rss_mb",
              "conn_s");
  for (const int clients : {1, 32, 256, 1000, 4096}) {
    if (clients > max_clients) break;
    // Each client costs two descriptors here (both ends) plus the server's reserve.
    if (file_limit != RLIM_INFINITY &&
        static_cast<unsigned long long>(2 * clients + 128) > file_limit) {
      std::printf("%6d  skipped: open-file limit %llu too low\n", clients,
                  static_cast<unsigned long long>(file_limit));
      continue;
    }
    RunOnce(clients);
  }
  return 0;
}

// Churns up to 1000 LAN clients on one time server for a while and checks
// that nothing is torn, lost track of or leaked:
//   lan_churn [SECONDS, default 60]
// The server runs on 127.0.0.1, port chosen by the system, in the main
// thread's event loop and sends a numbered record every 100 ms. A second
// thread connects clients (spread over the source addresses 127.0.0.1 to
// .250, so no host nears its cap), reads and checks every record, and closes
// random ones (orderly, reset, half-open). Afterwards the event loop drains and the
// server's connections, its client table and this process's descriptors are
// compared with the start. Prints figures; the exit status is 1 only when a
// correctness check failed (a damaged, torn or out-of-order record, a
// connection, table row or descriptor left behind), never for timing.
// ORVIK_TEST_SEED replays the random choice of closes.
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "bench/churn_clients.h"
#include "platform/posix/open_file_limit.h"
#include "service/qt/qt_main_loop.h"
#include "service/time_server.h"

namespace {

using namespace orvik;
using bench::BenchClock;

constexpr int kMaxClients = 1000;
constexpr int kRecordIntervalMs = 100;
constexpr double kClosesPerSecond = 100;
constexpr auto kDrainLimit = std::chrono::seconds(10);

std::uint32_t Seed() {
  if (const char* text = std::getenv("ORVIK_TEST_SEED"); text != nullptr && *text != '\0') {
    return static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10));
  }
  return std::random_device{}();
}

// Descriptors that are sockets; the ones a connection could leave behind.
int SocketCount(const std::vector<std::string>& targets) {
  return static_cast<int>(std::count_if(targets.begin(), targets.end(), [](const std::string& t) {
    return t.find("-> socket:") != std::string::npos;
  }));
}

void PrintDifference(const char* what, const std::vector<std::string>& before,
                     const std::vector<std::string>& after) {
  std::vector<std::string> added;
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                      std::back_inserter(added));
  for (const std::string& entry : added) std::printf("  %s: %s\n", what, entry.c_str());
}

// Runs the event loop until `done` holds or `limit` has passed; returns `done`.
template <typename Done>
bool RunUntil(Done done, std::chrono::milliseconds limit) {
  QEventLoop loop;
  const auto deadline = BenchClock::now() + limit;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
    if (done() || BenchClock::now() > deadline) loop.quit();
  });
  watch.start(20);
  loop.exec();
  return done();
}

struct ServerEnd {
  std::size_t connections = 0;
  std::uint16_t active = 0;
  std::uint16_t rows_used = 0;
  int rows_in_use = 0;
  bool drained = false;
  service::TimeServerCounters counters;
  std::vector<std::string> fds_server_idle;
};

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
  if (!(seconds >= 1 && seconds <= 3600)) {
    std::fprintf(stderr, "usage: lan_churn [SECONDS 1..3600, default 60]\n");
    return 2;
  }
  const std::uint64_t file_limit = platform::RaiseOpenFileLimit();
  QCoreApplication app(argc, argv);
  const std::uint32_t seed = Seed();
  std::printf(
      "lan_churn: %.0f s, up to %d clients, a record every %d ms, %.0f closes/s, seed %u "
      "(ORVIK_TEST_SEED), open-file limit %llu\n",
      seconds, kMaxClients, kRecordIntervalMs, kClosesPerSecond, seed,
      static_cast<unsigned long long>(file_limit));
  std::fflush(stdout);

  const std::vector<std::string> fds_start = bench::OpenFdTargets();
  const double cpu_start = bench::CpuSeconds(RUSAGE_SELF);
  const auto wall_start = BenchClock::now();
  bench::ChurnFigures figures;
  ServerEnd end;
  std::vector<std::string> fds_server_started;
  std::uint32_t records_sent_total = 0;
  double main_thread_cpu = 0;
  {
    service::QtMainLoop main_loop;
    service::TimeServer server(main_loop, service::TimeServerOptions{.port = 0});
    if (const core::Status status = server.Activate(); !status.ok()) {
      std::printf("lan_churn: the listener failed: %s\n", status.message().c_str());
      return 1;
    }
    fds_server_started = bench::OpenFdTargets();
    const auto capacity = static_cast<std::size_t>(seconds * 1000 / kRecordIntervalMs) + 100;
    std::vector<std::atomic<std::int64_t>> sent_ns(capacity);
    std::atomic<std::uint32_t> records_sent{0};

    bench::ChurnClients clients({.port = server.ListeningPort(),
                                 .max_clients = kMaxClients,
                                 .seconds = seconds,
                                 .closes_per_second = kClosesPerSecond,
                                 .seed = seed},
                                sent_ns, records_sent);
    QTimer sender;
    sender.setTimerType(Qt::PreciseTimer);
    QObject::connect(&sender, &QTimer::timeout, &sender, [&] {
      const std::uint32_t next = records_sent.load();
      if (next >= sent_ns.size()) return;
      sent_ns[next] = bench::NowNs();
      records_sent = next + 1;  // published before the record can arrive anywhere
      server.Retransmit_to_LAN(bench::NumberedRecord(next));
    });
    sender.start(kRecordIntervalMs);
    const auto run_limit = std::chrono::milliseconds(static_cast<long>(seconds * 1000) + 30000);
    RunUntil([&] { return clients.Done(); }, run_limit);
    sender.stop();
    clients.Join();
    figures = clients.Figures();
    records_sent_total = records_sent.load();

    // Every client is closed now: the server must notice each one and free its row.
    end.drained = RunUntil(
        [&] { return server.ConnectionCount() == 0 && server.Clients().ActiveClientCount() == 0; },
        kDrainLimit);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    end.connections = server.ConnectionCount();
    end.active = server.Clients().ActiveClientCount();
    end.rows_used = server.Clients().ClientRowsUsed();
    for (std::uint16_t row = 1; row <= service::ClientTable::MaxClients; ++row) {
      end.rows_in_use += server.Clients().Row(row).InUse ? 1 : 0;
    }
    end.counters = server.Counters();
    end.fds_server_idle = bench::OpenFdTargets();
    main_thread_cpu = bench::CpuSeconds(RUSAGE_THREAD);
  }
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  const std::vector<std::string> fds_end = bench::OpenFdTargets();
  const double wall = std::chrono::duration<double>(BenchClock::now() - wall_start).count();
  const double cpu = bench::CpuSeconds(RUSAGE_SELF) - cpu_start;

  auto u = [](std::uint64_t v) { return static_cast<unsigned long long>(v); };
  std::printf(
      "clients:  connects started %llu, made %llu (%llu retried by the kernel), failed "
      "%llu; peak open %d\n",
      u(figures.connects_started), u(figures.connections_made), u(figures.slow_connects),
      u(figures.connect_failures), figures.peak_open);
  std::printf(
      "closes:   %llu in all: orderly %llu, reset %llu, half-open %llu (server closed "
      "%llu, timed out %llu of which %llu never served), by server %llu, at end %llu\n",
      u(figures.closed), u(figures.closed_orderly), u(figures.closed_reset), u(figures.half_open),
      u(figures.half_open_closed_by_server), u(figures.half_open_timed_out),
      u(figures.half_open_timed_out_unserved), u(figures.closed_by_server),
      u(figures.closed_at_end));
  std::printf(
      "records:  sent %u, received %llu; corrupt %llu, partial %llu, out of order %llu; "
      "skipped %llu, unfinished when this side closed %llu\n",
      records_sent_total, u(figures.records), u(figures.corrupt_records),
      u(figures.partial_records), u(figures.out_of_order), u(figures.gaps),
      u(figures.unfinished_at_close));
  std::printf("lag:      max %.2f ms from Retransmit_to_LAN until read whole\n",
              static_cast<double>(figures.max_lag_ns) / 1e6);
  std::printf(
      "server:   handed %llu, dropped %llu, held back %llu, refused %llu, closed on "
      "error %llu\n",
      u(end.counters.records_handed), u(end.counters.records_dropped),
      u(end.counters.records_held_back), u(end.counters.connections_refused),
      u(end.counters.connections_closed_on_error));
  std::printf(
      "after:    ConnectionCount %zu, ActiveClientCount %u, ClientRowsUsed %u, rows in "
      "use %d%s\n",
      end.connections, end.active, end.rows_used, end.rows_in_use,
      end.drained ? "" : " (not drained within 10 s)");
  const int sockets_leaked_server =
      SocketCount(end.fds_server_idle) - SocketCount(fds_server_started);
  const int sockets_leaked = SocketCount(fds_end) - SocketCount(fds_start);
  std::printf(
      "fds:      start %zu, server listening %zu, server idle after churn %zu, end %zu "
      "(sockets %d / %d / %d / %d)\n",
      fds_start.size(), fds_server_started.size(), end.fds_server_idle.size(), fds_end.size(),
      SocketCount(fds_start), SocketCount(fds_server_started), SocketCount(end.fds_server_idle),
      SocketCount(fds_end));
  PrintDifference("open after churn, not before", fds_server_started, end.fds_server_idle);
  PrintDifference("open at end, not at start", fds_start, fds_end);
  std::printf(
      "process:  peak RSS %.1f MB, CPU %.2f s over %.1f s (%.1f %% of one core; main "
      "thread %.2f s, client thread %.2f s)\n",
      static_cast<double>(bench::PeakRssKb()) / 1024, cpu, wall, 100 * cpu / wall, main_thread_cpu,
      figures.thread_cpu_s);

  std::vector<std::string> failures;
  if (figures.records == 0) failures.push_back("no record received");
  if (figures.corrupt_records != 0) failures.push_back("corrupt records");
  if (figures.partial_records != 0) failures.push_back("partial records");
  if (figures.out_of_order != 0) failures.push_back("records out of order");
  if (end.connections != 0) failures.push_back("connections left open in the server");
  if (end.active != 0 || end.rows_in_use != 0) failures.push_back("client table rows left in use");
  if (sockets_leaked_server > 0 || sockets_leaked > 0) failures.push_back("sockets leaked");
  for (const std::string& failure : failures) std::printf("FAILED:   %s\n", failure.c_str());
  std::printf("lan_churn: %s\n", failures.empty() ? "all checks passed" : "CHECKS FAILED");
  return failures.empty() ? 0 : 1;
}

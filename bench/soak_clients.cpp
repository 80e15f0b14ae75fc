// Holds N LAN clients on one time server for a given time and checks every
// record they receive: 39 bytes back to back from the first byte, the end
// mark 251 252 253, and a date and time later than the previous record's.
// Prints what each client received.
//   soak_clients PORT CLIENTS SECONDS
// Connects to 127.0.0.1 only, retrying for up to 20 s while the server is not
// listening yet; stops by itself after SECONDS. Exit status 1 when a record
// was torn or damaged or a connection could not be made, 2 for bad arguments;
// the rate of records is only printed.
#include <sys/epoll.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "bench/bench_support.h"

namespace {

using namespace orvik;
using bench::BenchClock;

constexpr auto kConnectLimit = std::chrono::seconds(20);
constexpr auto kConnectRetry = std::chrono::milliseconds(200);

struct Client {
  platform::UniqueFd fd;
  bench::RecordCutter cutter;
  std::uint64_t records = 0;
  std::uint64_t corrupt = 0;    // records without the end mark
  std::uint64_t not_later = 0;  // date and time not after the previous record's
  std::uint64_t last_key = 0;
  bool closed_by_server = false;
  bool torn_at_close = false;  // the server closed in the middle of a record
};

// Orders records by their date and time fields (local time, to the second).
std::uint64_t TimeKey(const core::TimeMessage& r) {
  const std::uint64_t year = core::ReadBeU16(r, core::kOffsetYear);
  return ((((year * 13 + r[core::kOffsetMonth]) * 32 + r[core::kOffsetDay]) * 24 +
           r[core::kOffsetHour]) *
              60 +
          r[core::kOffsetMinute]) *
             60 +
         r[core::kOffsetSecond];
}

// Waits until a non-blocking connect has finished; returns whether it worked.
bool Connected(int fd) {
  const auto deadline = BenchClock::now() + std::chrono::seconds(2);
  while (BenchClock::now() < deadline) {
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) return false;
    sockaddr_storage peer{};
    socklen_t peer_size = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peer_size) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

bool ConnectAll(std::uint16_t port, std::vector<Client>& clients) {
  const auto deadline = BenchClock::now() + kConnectLimit;
  for (Client& client : clients) {
    while (!client.fd.valid() && BenchClock::now() < deadline) {
      platform::UniqueFd fd = bench::ConnectLoopback(port);
      if (fd.valid() && Connected(fd.get())) {
        client.fd = std::move(fd);
      } else {
        std::this_thread::sleep_for(kConnectRetry);
      }
    }
    if (!client.fd.valid()) return false;
  }
  return true;
}

void Read(Client& client, int epoll_fd) {
  std::array<std::uint8_t, 4096> buffer;
  for (int reads = 0; reads < 64; ++reads) {
    const ssize_t got = ::read(client.fd.get(), buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got == 0 || (got < 0 && errno != EAGAIN)) {
      client.closed_by_server = true;
      client.torn_at_close = client.cutter.pending() != 0;
      epoll_ctl(epoll_fd, EPOLL_CTL_DEL, client.fd.get(), nullptr);
      return;
    }
    if (got < 0) return;
    for (const core::TimeMessage& record :
         client.cutter.Push({buffer.data(), static_cast<std::size_t>(got)})) {
      ++client.records;
      if (!bench::HasEndMark(record)) ++client.corrupt;
      const std::uint64_t key = TimeKey(record);
      if (client.records > 1 && key <= client.last_key) ++client.not_later;
      client.last_key = key;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: soak_clients PORT CLIENTS SECONDS\n");
    return 2;
  }
  const int port = std::atoi(argv[1]);
  const int count = std::atoi(argv[2]);
  const double seconds = std::atof(argv[3]);
  if (port <= 0 || port > 65535 || count <= 0 || count > 1000 || seconds <= 0) {
    std::fprintf(stderr, "soak_clients: bad arguments\n");
    return 2;
  }
  std::vector<Client> clients(static_cast<std::size_t>(count));
  if (!ConnectAll(static_cast<std::uint16_t>(port), clients)) {
    std::fprintf(stderr, "soak_clients: could not connect %d clients to 127.0.0.1:%d\n", count,
                 port);
    return 1;
  }
  std::printf("soak_clients: %d clients connected to 127.0.0.1:%d for %.0f s\n", count, port,
              seconds);
  std::fflush(stdout);

  const platform::UniqueFd epoll_fd(epoll_create1(EPOLL_CLOEXEC));
  for (std::size_t i = 0; i < clients.size(); ++i) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = i;
    epoll_ctl(epoll_fd.get(), EPOLL_CTL_ADD, clients[i].fd.get(), &event);
  }
  const auto start = BenchClock::now();
  const auto end = start + std::chrono::duration<double>(seconds);
  std::array<epoll_event, 64> events;
  while (BenchClock::now() < end) {
    const int ready = epoll_wait(epoll_fd.get(), events.data(), events.size(), 100);
    for (int i = 0; i < ready; ++i) Read(clients[events[i].data.u64], epoll_fd.get());
  }
  const double elapsed = std::chrono::duration<double>(BenchClock::now() - start).count();

  bool failed = false;
  std::uint64_t total = 0;
  std::uint64_t least = UINT64_MAX;
  std::uint64_t most = 0;
  std::printf("%6s %8s %8s %8s %9s %7s\n", "client", "records", "per_s", "corrupt", "not_later",
              "closed");
  for (std::size_t i = 0; i < clients.size(); ++i) {
    const Client& c = clients[i];
    std::printf(
        "%6zu %8llu %8.3f %8llu %9llu %7s\n", i + 1, static_cast<unsigned long long>(c.records),
        static_cast<double>(c.records) / elapsed, static_cast<unsigned long long>(c.corrupt),
        static_cast<unsigned long long>(c.not_later),
        c.closed_by_server ? (c.torn_at_close ? "torn" : "yes") : "no");
    failed = failed || c.corrupt != 0 || c.torn_at_close;
    total += c.records;
    least = std::min(least, c.records);
    most = std::max(most, c.records);
  }
  std::printf(
      "soak_clients: %.1f s, %llu records in all, per client min %llu max %llu (%.3f/s "
      "each on average)%s\n",
      elapsed, static_cast<unsigned long long>(total), static_cast<unsigned long long>(least),
      static_cast<unsigned long long>(most),
      static_cast<double>(total) / static_cast<double>(clients.size()) / elapsed,
      failed ? "; DAMAGED RECORDS" : "");
  return failed ? 1 : 0;
}

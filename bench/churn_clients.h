// ChurnClients: a thread that keeps up to a given number of LAN clients on one
// time server and churns them: it opens new connections, reads and checks
// every record (whole, numbered, in order), and closes random connections in
// three ways: an orderly close, a reset (SO_LINGER 0), or a half-open close
// (shutdown of its sending side while it goes on reading until the server
// closes). Runs for a set time and stops by itself; every loop is bounded.
//
// The constructor starts the thread; Done() and the figures may be read from
// any thread, the figures only after Join().
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <random>
#include <thread>
#include <vector>

#include "bench/bench_support.h"

namespace orvik::bench {

// What the clients saw. Filled by the client thread; read after Join().
struct ChurnFigures {
  std::uint64_t connects_started = 0;
  std::uint64_t connections_made = 0;  // connects that completed
  std::uint64_t connect_failures = 0;
  std::uint64_t slow_connects = 0;   // over 500 ms: the handshake had to be retried
  std::uint64_t closed = 0;          // every connection closed, by either side
  std::uint64_t closed_orderly = 0;  // by this side: close()
  std::uint64_t closed_reset = 0;    // by this side: close() with SO_LINGER 0
  std::uint64_t half_open = 0;       // shutdown(SHUT_WR), then read on
  std::uint64_t half_open_closed_by_server = 0;
  std::uint64_t half_open_timed_out = 0;           // the server never closed; closed here
  std::uint64_t half_open_timed_out_unserved = 0;  // of those: never got a record
  std::uint64_t closed_by_server = 0;              // end of stream or error on a full connection
  std::uint64_t closed_at_end = 0;
  std::uint64_t records = 0;
  std::uint64_t corrupt_records = 0;      // wrong end mark, wrong bytes or unknown number
  std::uint64_t partial_records = 0;      // the server closed in the middle of a record
  std::uint64_t unfinished_at_close = 0;  // this side closed in the middle of a record
  std::uint64_t out_of_order = 0;         // a number not above the previous one
  std::uint64_t gaps = 0;                 // records skipped between two received ones
  std::int64_t max_lag_ns = 0;            // from Retransmit_to_LAN until read whole
  int peak_open = 0;
  double thread_cpu_s = 0;
};

class ChurnClients {
 public:
  struct Options {
    std::uint16_t port = 0;
    int max_clients = 1000;
    double seconds = 60;
    double closes_per_second = 100;
    std::uint32_t seed = 1;
  };

  // Starts the client thread. `sent_ns[n]` is when record n was handed to the
  // server and `records_sent` how many were; both are written by the server's
  // thread, before the record goes out, and must outlive this object.
  ChurnClients(const Options& options, const std::vector<std::atomic<std::int64_t>>& sent_ns,
               const std::atomic<std::uint32_t>& records_sent);
  // Stops early if still running and joins.
  ~ChurnClients();

  ChurnClients(const ChurnClients&) = delete;
  ChurnClients& operator=(const ChurnClients&) = delete;

  // Whether the thread has finished (time up, every connection closed).
  bool Done() const { return done_.load(); }
  // Waits for the thread; afterwards Figures() is stable.
  void Join();
  const ChurnFigures& Figures() const { return figures_; }

 private:
  enum class State { kFree, kConnecting, kOpen, kHalfOpen };
  struct Slot {
    platform::UniqueFd fd;
    RecordCutter cutter;
    State state = State::kFree;
    std::int64_t last_sequence = -1;
    BenchClock::time_point since{};
  };
  enum class CloseHow { kOrderly, kReset, kByServer, kAtEnd, kNeverConnected };

  void Run();
  void OpenNew(int epoll_fd);
  void OnEvent(int epoll_fd, std::uint32_t index, std::uint32_t events);
  void Read(int epoll_fd, std::uint32_t index);
  void Check(Slot& slot, const core::TimeMessage& record);
  void ChurnOne(int epoll_fd);
  void ExpireHalfOpen(int epoll_fd);
  void Close(int epoll_fd, std::uint32_t index, CloseHow how);

  const Options options_;
  const std::vector<std::atomic<std::int64_t>>& sent_ns_;
  const std::atomic<std::uint32_t>& records_sent_;
  std::vector<Slot> slots_;
  std::vector<std::uint32_t> free_;                     // free slot indexes
  std::deque<BenchClock::time_point> recent_connects_;  // starts within the pacing window
  int open_ = 0;                                        // slots not free
  int connecting_ = 0;
  std::mt19937 random_;
  ChurnFigures figures_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> done_{false};
  std::thread thread_;
};

}  // namespace orvik::bench

// LineFeeder: the receiver's end of a serial line for the line-timing
// benchmark, without the simulator program: a pseudo-terminal linked as
// <dir>/COM<n>, and a thread of its own that writes NMEA bursts paced at a
// line rate, each period's burst beginning at the real start of that period
// (plus a jitter draw when asked), so a program that dates a second by the
// start of its burst would see a perfect receiver. It keeps its own handle on
// the device open, discards whatever the program writes to the port, and
// never blocks on a full line (bytes that do not fit are counted, not sent).
// Start/Stop/figures from one thread; the feeding runs in its own.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/line_bursts.h"
#include "platform/posix/unique_fd.h"

namespace orvik::bench {

struct FeedPlan {
  int baud = 4800;                         // 8N1: a byte every 10/baud s
  std::int64_t period_ns = 1'000'000'000;  // one burst per period
  BurstShape shape;
  std::int64_t jitter_ms = 0;  // each burst begins a further 0..jitter_ms late (uniform)
  // Bytes handed over at once, when the last of them is due, as an adapter
  // with a long latency timer does; a burst's last, smaller clump follows
  // `clump_timer` after its last byte. 1: each byte when it is due (a few
  // at once after a late wake-up).
  std::size_t clump = 1;
  std::chrono::milliseconds clump_timer{16};
};

struct FeedFigures {
  int bursts = 0;
  std::int64_t bytes_sent = 0;
  std::int64_t bytes_dropped = 0;  // the line was full
  // How late the first write of each burst came after its due time, in ms.
  std::vector<double> first_write_late_ms;
};

class LineFeeder {
 public:
  // Opens a pty and links it as `dir`/COM`port`; nullptr (with `error` set)
  // when that fails.
  static std::unique_ptr<LineFeeder> Open(const std::filesystem::path& dir, int port,
                                          std::string& error);
  ~LineFeeder();
  LineFeeder(const LineFeeder&) = delete;
  LineFeeder& operator=(const LineFeeder&) = delete;

  // The device the link leads to, e.g. "/dev/pts/7".
  const std::string& device() const { return device_; }

  // Writes at once the bursts of the `seconds` periods before now, as a
  // receiver's output that waited in the port before anybody read it.
  // Returns the bytes that fit into the line and those that did not.
  FeedFigures WriteBacklog(const FeedPlan& plan, int seconds);

  // Starts feeding: one burst per period from the first period that begins
  // at or after `first_ns` until `end_ns` (UTC nanoseconds), then stops.
  // REQUIRES: not feeding yet.
  void Start(const FeedPlan& plan, std::int64_t first_ns, std::int64_t end_ns);
  // Ends the feeding (at once, if it still runs) and returns its figures.
  FeedFigures Stop();

 private:
  LineFeeder(platform::UniqueFd master, platform::UniqueFd slave, std::string device,
             std::filesystem::path link);
  void Feed(std::stop_token stop, FeedPlan plan, std::int64_t first_ns, std::int64_t end_ns);
  // Writes what fits now; counts the rest as dropped.
  void WriteNow(std::string_view bytes, FeedFigures& figures);
  // Sleeps until `utc_ns`, in slices that look at `stop` and discard what the
  // program wrote. Returns false on a stop request.
  bool SleepUntil(std::int64_t utc_ns, const std::stop_token& stop);

  platform::UniqueFd master_;
  platform::UniqueFd slave_;  // kept open: the program closing the port is no hang-up
  std::string device_;
  std::filesystem::path link_;
  FeedFigures figures_;  // written by the feeding thread until it is joined
  std::jthread thread_;
};

}  // namespace orvik::bench

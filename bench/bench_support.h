// Helpers shared by the benchmarks: numbered time records that a client can
// check byte for byte, a strict cutter for one connection's byte stream,
// loopback connections, and the process figures the benchmarks print (CPU
// time, peak RSS, open descriptors).
//
// Plain functions and one plain object per connection; any thread may call
// them, but one RecordCutter belongs to one thread at a time.
#pragma once

#include <sys/resource.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/time_message.h"
#include "platform/posix/unique_fd.h"

namespace orvik::bench {

using BenchClock = std::chrono::steady_clock;

// Nanoseconds on the steady clock, comparable between threads.
std::int64_t NowNs();

// A valid-looking record that carries `sequence` big-endian in bytes 7..10
// and bytes derived from it in 11..33, so a reader can tell a whole record
// from a torn or mixed one.
core::TimeMessage NumberedRecord(std::uint32_t sequence);

// Returns the sequence of a record made by NumberedRecord, or nothing when its
// end mark or any of bytes 7..33 is not what NumberedRecord writes.
std::optional<std::uint32_t> CheckNumberedRecord(const core::TimeMessage& record);

// Cuts one connection's bytes into 39-byte records that must lie back to back
// from its first byte: no resynchronisation, so a torn record shows up as a
// wrong end mark in the records that follow it.
class RecordCutter {
 public:
  // Feeds `bytes`; returns the records they complete, in order.
  std::vector<core::TimeMessage> Push(std::span<const std::uint8_t> bytes);
  // Bytes of a record begun but not finished yet.
  std::size_t pending() const { return size_; }

 private:
  core::TimeMessage partial_{};
  std::size_t size_ = 0;
};

// Whether `record` ends with 251 252 253.
bool HasEndMark(const core::TimeMessage& record);

// Starts a non-blocking TCP connection to 127.0.0.1:`port` from the source
// address 127.0.0.`host` (every 127/8 address is this machine; the server
// sees each as another host). Returns an invalid descriptor when the socket,
// the bind or the connect call failed at once.
platform::UniqueFd ConnectLoopback(std::uint16_t port, std::uint8_t host = 1);
// The host of the `index`-th client: clients are spread evenly over
// 127.0.0.1 to 127.0.0.250, so that no address nears the server's cap per host.
std::uint8_t LoopbackHostFor(std::size_t index);

// User plus system CPU seconds of `who` (RUSAGE_SELF or RUSAGE_THREAD).
double CpuSeconds(int who);
// Peak resident set size of this process in kilobytes.
long PeakRssKb();
// Number of descriptors this process has open now (entries of /proc/self/fd).
int OpenFdCount();
// What each open descriptor of this process refers to, one "fd -> target" per entry.
std::vector<std::string> OpenFdTargets();

}  // namespace orvik::bench

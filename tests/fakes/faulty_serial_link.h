// FaultySerialLink: wraps another SerialLink and makes chosen reads or
// writes fail, for tests of how the receive loop recovers.
//
// Reads (ReadExact and ReadOne together) and writes are numbered from 1 in
// the order they are made. A failing read returns ok = false, count 0 and
// does not reach the wrapped link (nothing is taken from the line); a
// failing write is dropped. Everything else is passed through unchanged.
// Threads: as the wrapped link; choose the failures before the link is used.
#pragma once

#include <atomic>
#include <set>

#include "platform/serial_link.h"

namespace orvik::testing {

class FaultySerialLink : public platform::SerialLink {
 public:
  explicit FaultySerialLink(platform::SerialLink& inner) : inner_(inner) {}

  // Makes read number `n` (1-based) fail.
  void FailRead(int n) { failing_reads_.insert(n); }
  // Makes write number `n` (1-based) fail.
  void FailWrite(int n) { failing_writes_.insert(n); }
  // Reads and writes made so far.
  int ReadCount() const { return reads_.load(); }
  int WriteCount() const { return writes_.load(); }

  void OpenPort(const platform::PortConfig& config) override { inner_.OpenPort(config); }
  bool IsOpen() const override { return inner_.IsOpen(); }
  platform::ReadOutcome ReadExact(std::span<std::uint8_t> buffer) override;
  platform::ReadOutcome ReadOne(std::uint8_t& byte) override;
  void WritePort(std::span<const std::uint8_t> bytes) override;
  void Purge(platform::PurgeKind kind) override { inner_.Purge(kind); }
  void ClearPortErrors() override { inner_.ClearPortErrors(); }
  void PollPortEvents() override { inner_.PollPortEvents(); }
  void IdleWait(std::chrono::milliseconds duration) override { inner_.IdleWait(duration); }
  core::ByteTiming LastByteTiming() const override { return inner_.LastByteTiming(); }
  void ClosePort() override { inner_.ClosePort(); }

 private:
  platform::SerialLink& inner_;
  std::set<int> failing_reads_;   // set before use, then only read
  std::set<int> failing_writes_;  // set before use, then only read
  std::atomic<int> reads_{0};
  std::atomic<int> writes_{0};
};

}  // namespace orvik::testing

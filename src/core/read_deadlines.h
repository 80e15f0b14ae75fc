// ReadDeadlines: when a serial read of n bytes gives up under the port's
// time-outs. The total limit runs from the start of the read; the interval
// limit from the latest byte, and only once a first byte has arrived. Both
// serial links (POSIX and Windows) wait by it. Pure: the caller reads the
// clock.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/port_settings.h"

namespace orvik::core {

class ReadDeadlines {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  // A read of `n` bytes that began at `start`; `have_bytes`: some were
  // already at hand (the interval limit runs from the start then).
  ReadDeadlines(const SerialTimeouts& timeouts, std::size_t n, bool have_bytes, TimePoint start)
      : interval_(timeouts.read_interval) {
    if (timeouts.read_total_per_byte != 0 || timeouts.read_total_constant != 0) {
      total_ = start + std::chrono::milliseconds(std::int64_t{timeouts.read_total_per_byte} *
                                                     static_cast<std::int64_t>(n) +
                                                 timeouts.read_total_constant);
    }
    if (have_bytes) BytesArrived(start);
  }

  // Bytes arrived at `now`: the interval limit starts again.
  void BytesArrived(TimePoint now) {
    if (interval_.count() != 0) interval_end_ = now + interval_;
  }

  // The earliest limit, or nullopt when the read may wait for ever.
  std::optional<TimePoint> Next() const {
    if (!total_) return interval_end_;
    if (!interval_end_) return total_;
    return std::min(*total_, *interval_end_);
  }

 private:
  std::chrono::milliseconds interval_;
  std::optional<TimePoint> total_;
  std::optional<TimePoint> interval_end_;
};

}  // namespace orvik::core

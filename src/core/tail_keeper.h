// TailKeeper: keeps the last bytes of a stream in a buffer of the caller's,
// in order: what a purge discarded last, for the framer to look through.
// Pure; one thread.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

namespace orvik::core {

class TailKeeper {
 public:
  // Keeps at most tail.size() bytes in `tail`.
  explicit TailKeeper(std::span<std::uint8_t> tail) : tail_(tail) {}

  // The stream goes on with `bytes`.
  void Append(std::span<const std::uint8_t> bytes) {
    if (bytes.size() >= tail_.size()) {
      std::copy(bytes.end() - static_cast<std::ptrdiff_t>(tail_.size()), bytes.end(),
                tail_.begin());
      kept_ = tail_.size();
      return;
    }
    // The oldest bytes make room; fewer than kept_, as bytes fit the buffer.
    const std::size_t total = kept_ + bytes.size();
    const std::size_t drop = total > tail_.size() ? total - tail_.size() : 0;
    std::copy(tail_.begin() + static_cast<std::ptrdiff_t>(drop),
              tail_.begin() + static_cast<std::ptrdiff_t>(kept_), tail_.begin());
    kept_ -= drop;
    std::copy(bytes.begin(), bytes.end(), tail_.begin() + static_cast<std::ptrdiff_t>(kept_));
    kept_ += bytes.size();
  }

  // How many bytes are kept, at the front of the buffer.
  std::size_t Kept() const { return kept_; }

 private:
  std::span<std::uint8_t> tail_;
  std::size_t kept_ = 0;
};

}  // namespace orvik::core

#include "bench/bench_support.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

namespace orvik::bench {
namespace {

constexpr std::size_t kOffsetSequence = 7;
constexpr std::size_t kOffsetPattern = 11;
constexpr std::size_t kOffsetPatternEnd = 34;  // one past byte 33

std::uint8_t PatternByte(std::uint32_t sequence, std::size_t offset) {
  return static_cast<std::uint8_t>(sequence * 31u + offset * 7u);
}

}  // namespace

std::int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(BenchClock::now().time_since_epoch())
      .count();
}

core::TimeMessage NumberedRecord(std::uint32_t sequence) {
  core::TimeMessage record{12, 7, 7, 234, 13, 5, 0};
  for (std::size_t i = 0; i < 4; ++i) {
    record[kOffsetSequence + i] = static_cast<std::uint8_t>(sequence >> (24 - 8 * i));
  }
  for (std::size_t i = kOffsetPattern; i < kOffsetPatternEnd; ++i) {
    record[i] = PatternByte(sequence, i);
  }
  record[core::kOffsetVisible] = 9;
  record[core::kOffsetTracked] = 7;
  std::copy(core::kEndMark.begin(), core::kEndMark.end(), record.begin() + core::kOffsetEndMark);
  return record;
}

std::optional<std::uint32_t> CheckNumberedRecord(const core::TimeMessage& record) {
  if (!HasEndMark(record)) return std::nullopt;
  std::uint32_t sequence = 0;
  for (std::size_t i = 0; i < 4; ++i) sequence = sequence << 8 | record[kOffsetSequence + i];
  for (std::size_t i = kOffsetPattern; i < kOffsetPatternEnd; ++i) {
    if (record[i] != PatternByte(sequence, i)) return std::nullopt;
  }
  return sequence;
}

bool HasEndMark(const core::TimeMessage& record) {
  return std::equal(core::kEndMark.begin(), core::kEndMark.end(),
                    record.begin() + core::kOffsetEndMark);
}

std::vector<core::TimeMessage> RecordCutter::Push(std::span<const std::uint8_t> bytes) {
  std::vector<core::TimeMessage> records;
  for (const std::uint8_t byte : bytes) {
    partial_[size_++] = byte;
    if (size_ < core::kTimeMessageSize) continue;
    records.push_back(partial_);
    size_ = 0;
  }
  return records;
}

platform::UniqueFd ConnectLoopback(std::uint16_t port, std::uint8_t host) {
  platform::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.valid()) return fd;
  if (host != 1) {
    // The local port is chosen at connect(), per destination, as without a bind.
    const int on = 1;
    ::setsockopt(fd.get(), IPPROTO_IP, IP_BIND_ADDRESS_NO_PORT, &on, sizeof on);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    source.sin_addr.s_addr = htonl((INADDR_LOOPBACK & 0xFFFFFF00u) | host);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&source), sizeof source) != 0) {
      fd.reset();
      return fd;
    }
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
      errno != EINPROGRESS) {
    fd.reset();
  }
  return fd;
}

std::uint8_t LoopbackHostFor(std::size_t index) {
  constexpr std::size_t kHosts = 250;
  return static_cast<std::uint8_t>(1 + index % kHosts);
}

double CpuSeconds(int who) {
  rusage usage{};
  getrusage(who, &usage);
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long PeakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

int OpenFdCount() { return static_cast<int>(OpenFdTargets().size()); }

std::vector<std::string> OpenFdTargets() {
  std::vector<std::string> targets;
  std::error_code error;
  // The directory iterator holds a descriptor of its own while it runs; leave it out.
  const std::string own_listing = "/proc/" + std::to_string(::getpid()) + "/fd";
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", error)) {
    std::error_code link_error;
    const auto target = std::filesystem::read_symlink(entry.path(), link_error);
    if (link_error || target == own_listing) continue;
    targets.push_back(entry.path().filename().string() + " -> " + target.string());
  }
  std::sort(targets.begin(), targets.end());
  return targets;
}

}  // namespace orvik::bench

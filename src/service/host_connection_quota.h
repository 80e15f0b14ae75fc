// HostConnectionQuota: how many open connections each source address holds,
// with a cap per address, so that one host flooding the time server cannot
// take every connection it allows and lock the other hosts out. The cap is a
// fixed share of the server's places (ConnectionsPerHost).
//
// Plain data, no I/O. Not thread-safe: the time server uses it from the main
// thread only.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>

namespace orvik::service {

// One source address may hold at most this fraction (1/64) of the server's
// places, so at least 64 hosts always find room.
inline constexpr std::size_t kHostShareDivisor = 64;

// The most connections one address may hold on a server that keeps at most
// `connection_cap` open: its 64th part, rounded down, and at least 1 (a
// server of fewer than 64 places still serves each host once).
std::size_t ConnectionsPerHost(std::size_t connection_cap);

class HostConnectionQuota {
 public:
  // At most `per_host_cap` connections per address (at least 1).
  explicit HostConnectionQuota(std::size_t per_host_cap);

  // Counts one more connection from `host` and returns true; returns false,
  // counting nothing, when `host` already holds the cap.
  bool TryAdmit(const std::string& host);
  // Forgets one connection from `host` that TryAdmit counted.
  void Release(const std::string& host);

  // Connections counted for `host` now.
  std::size_t CountOf(const std::string& host) const;
  std::size_t PerHostCap() const { return per_host_cap_; }

 private:
  const std::size_t per_host_cap_;
  std::unordered_map<std::string, std::size_t> counts_;  // only hosts holding one or more
};

}  // namespace orvik::service

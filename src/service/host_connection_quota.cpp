#include "service/host_connection_quota.h"

#include <algorithm>

namespace orvik::service {

std::size_t ConnectionsPerHost(std::size_t connection_cap) {
  return std::max<std::size_t>(1, connection_cap / kHostShareDivisor);
}

HostConnectionQuota::HostConnectionQuota(std::size_t per_host_cap)
    : per_host_cap_(std::max<std::size_t>(1, per_host_cap)) {}

bool HostConnectionQuota::TryAdmit(const std::string& host) {
  std::size_t& count = counts_[host];
  if (count >= per_host_cap_) return false;
  ++count;
  return true;
}

void HostConnectionQuota::Release(const std::string& host) {
  const auto it = counts_.find(host);
  if (it == counts_.end()) return;
  // Hosts that hold nothing are forgotten, so many short visits cannot grow the map.
  if (--it->second == 0) counts_.erase(it);
}

std::size_t HostConnectionQuota::CountOf(const std::string& host) const {
  const auto it = counts_.find(host);
  return it == counts_.end() ? 0 : it->second;
}

}  // namespace orvik::service

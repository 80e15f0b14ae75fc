// HostNameLookup: the reverse name lookup of a client's address, answered
// later in the main thread, so that no name service ever delays delivery.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace orvik::service {

class HostNameLookup {
 public:
  // Receives the host name, or "" when the address has none.
  using Answer = std::function<void(const std::string& host_name)>;

  // Destroying the lookup cancels every request: no answer runs afterwards.
  virtual ~HostNameLookup() = default;

  // Asks for the name of the numeric address `address` (IPv4 dotted or
  // IPv6). `answer` runs later, in the main thread, unless cancelled.
  // Returns the request's id (never 0) for Cancel. Main thread only.
  virtual std::uint64_t LookUp(const std::string& address, Answer answer) = 0;

  // Drops request `id`: its answer never runs. Unknown or answered ids are
  // ignored. Main thread only.
  virtual void Cancel(std::uint64_t id) = 0;
};

}  // namespace orvik::service

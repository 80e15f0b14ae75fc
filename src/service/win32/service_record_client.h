// ServiceRecordClient: the desktop program's connection to the time service
// on this PC (127.0.0.1, the LAN port 1609), on a thread of its own: it
// cuts the byte stream into the service's 39-byte records and shows each in
// the shared display state (ShowRecord). While the service cannot be
// reached, or after it closed the connection, it connects again every 2 s.
// Every wait is bounded (a quarter of a second), so destroying it ends the
// thread within about that. Construct and destroy in one thread; Winsock
// must have been started (WinsockSession) for the object's life.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "service/shared_state.h"

namespace orvik::service {

class ServiceRecordClient {
 public:
  ServiceRecordClient(DisplayState& display, std::uint16_t port);
  ~ServiceRecordClient();

  ServiceRecordClient(const ServiceRecordClient&) = delete;
  ServiceRecordClient& operator=(const ServiceRecordClient&) = delete;

  // Records received since the start (for tests and the status).
  std::uint64_t records() const { return records_.load(); }

 private:
  void Run();
  // One connection: connects and receives until it breaks or the stop.
  void Session();
  // Waits `quarters` quarter seconds, or less when asked to stop.
  void Pause(int quarters) const;

  DisplayState& display_;
  const std::uint16_t port_;
  std::atomic<bool> stop_{false};
  std::atomic<std::uint64_t> records_{0};
  std::thread thread_;  // last: starts once everything above is set
};

}  // namespace orvik::service

#include "service/win32/service_record_client.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <array>

#include "core/time_record_stream.h"
#include "service/record_display.h"

namespace orvik::service {

namespace {

constexpr long kWaitMicroseconds = 250'000;  // one bounded wait
constexpr int kReconnectQuarters = 8;        // 2 s between connection attempts

// Owns a socket of this thread and closes it once.
class OwnedSocket {
 public:
  OwnedSocket() : socket_(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {}
  ~OwnedSocket() {
    if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
  }
  OwnedSocket(const OwnedSocket&) = delete;
  OwnedSocket& operator=(const OwnedSocket&) = delete;
  SOCKET get() const { return socket_; }
  bool valid() const { return socket_ != INVALID_SOCKET; }

 private:
  SOCKET socket_;
};

// Waits at most one bounded wait for `socket` to become writable (connected)
// or readable; returns select's count (0: not yet), or -1 on failure. A
// failed connection shows in the exception set.
int WaitFor(SOCKET socket, bool for_reading) {
  fd_set ready;
  fd_set failed;
  FD_ZERO(&ready);
  FD_ZERO(&failed);
  FD_SET(socket, &ready);
  FD_SET(socket, &failed);
  timeval wait{0, kWaitMicroseconds};
  const int count = for_reading ? ::select(0, &ready, nullptr, &failed, &wait)
                                : ::select(0, nullptr, &ready, &failed, &wait);
  if (count > 0 && FD_ISSET(socket, &failed)) return -1;
  return count;
}

}  // namespace

ServiceRecordClient::ServiceRecordClient(DisplayState& display, std::uint16_t port)
    : display_(display), port_(port), thread_([this] { Run(); }) {}

ServiceRecordClient::~ServiceRecordClient() {
  stop_ = true;
  thread_.join();
}

void ServiceRecordClient::Pause(int quarters) const {
  for (int i = 0; i < quarters && !stop_; ++i) ::Sleep(kWaitMicroseconds / 1000);
}

void ServiceRecordClient::Run() {
  while (!stop_) {
    Session();
    Pause(kReconnectQuarters);
  }
}

void ServiceRecordClient::Session() {
  const OwnedSocket connection;
  if (!connection.valid()) return;
  // Non-blocking, so that neither connecting nor receiving waits unbounded.
  u_long non_blocking = 1;
  ::ioctlsocket(connection.get(), FIONBIO, &non_blocking);
  sockaddr_in service{};
  service.sin_family = AF_INET;
  service.sin_port = ::htons(port_);
  service.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
  if (::connect(connection.get(), reinterpret_cast<const sockaddr*>(&service), sizeof service) !=
          0 &&
      ::WSAGetLastError() != WSAEWOULDBLOCK) {
    return;
  }
  for (;;) {  // until connected
    if (stop_) return;
    const int ready = WaitFor(connection.get(), false);
    if (ready < 0) return;  // refused
    if (ready > 0) break;
  }

  core::RecordStream stream;
  std::array<std::uint8_t, 512> buffer{};
  while (!stop_) {
    const int ready = WaitFor(connection.get(), true);
    if (ready < 0) return;
    if (ready == 0) continue;
    const int got = ::recv(connection.get(), reinterpret_cast<char*>(buffer.data()),
                           static_cast<int>(buffer.size()), 0);
    if (got <= 0) {
      if (got < 0 && ::WSAGetLastError() == WSAEWOULDBLOCK) continue;
      return;  // the service closed the connection, or it broke
    }
    for (const core::TimeMessage& record :
         stream.Push(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(got)))) {
      ShowRecord(record, display_);
      ++records_;
    }
  }
}

}  // namespace orvik::service

// The Windows message-loop backend of the main loop against the common
// contract, with a Winsock socket pair on 127.0.0.1.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <utility>

#include "service/win32/win32_main_loop.h"
#include "service/win32/winsock_session.h"
#include "support/main_loop_contract.h"

namespace orvik::testing {
namespace {

class UniqueSocket {
 public:
  explicit UniqueSocket(SOCKET socket = INVALID_SOCKET) : socket_(socket) {}
  ~UniqueSocket() {
    if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
  }
  UniqueSocket(const UniqueSocket&) = delete;
  UniqueSocket& operator=(const UniqueSocket&) = delete;
  void reset(SOCKET socket) {
    if (socket_ != INVALID_SOCKET) ::closesocket(socket_);
    socket_ = socket;
  }
  SOCKET get() const { return socket_; }

 private:
  SOCKET socket_;
};

class Win32Backend {
 public:
  service::MainLoop& loop() { return loop_; }

  // Listens on 127.0.0.1:0, connects and accepts.
  std::pair<service::NativeSocket, service::NativeSocket> ConnectedPair() {
    UniqueSocket listener(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    auto* raw = reinterpret_cast<sockaddr*>(&address);
    if (::bind(listener.get(), raw, length) != 0 || ::listen(listener.get(), 1) != 0 ||
        ::getsockname(listener.get(), raw, &length) != 0) {
      ADD_FAILURE() << "listen failed: " << ::WSAGetLastError();
      return {-1, -1};
    }
    peer_.reset(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (::connect(peer_.get(), raw, length) != 0) {
      ADD_FAILURE() << "connect failed: " << ::WSAGetLastError();
      return {-1, -1};
    }
    ours_.reset(::accept(listener.get(), nullptr, nullptr));
    EXPECT_NE(ours_.get(), INVALID_SOCKET);
    u_long non_blocking = 1;
    ::ioctlsocket(ours_.get(), FIONBIO, &non_blocking);
    return {static_cast<service::NativeSocket>(ours_.get()),
            static_cast<service::NativeSocket>(peer_.get())};
  }
  void Write(service::NativeSocket socket, char byte) {
    EXPECT_EQ(::send(static_cast<SOCKET>(socket), &byte, 1, 0), 1);
  }
  void Drain(service::NativeSocket socket) {
    char sink[64];
    while (::recv(static_cast<SOCKET>(socket), sink, sizeof sink, 0) > 0) {
    }
  }

 private:
  service::WinsockSession winsock_;
  service::Win32MainLoop loop_;
  UniqueSocket ours_;
  UniqueSocket peer_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Win32, MainLoopContract, Win32Backend);

}  // namespace
}  // namespace orvik::testing

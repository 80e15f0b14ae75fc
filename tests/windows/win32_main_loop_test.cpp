// The Windows message-loop backend of the main loop against the common
// contract, with a Winsock socket pair on 127.0.0.1.
#include "service/win32/win32_main_loop.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <functional>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "service/hand_over_bridge.h"
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

// Winsock tells FD_WRITE only once a refused send has room again: a watch
// asking for "writable" on a full socket hears nothing until the peer reads,
// then is told, and a later ask on a socket with room is told at once.
TEST(Win32MainLoopTest, WritableAgainAfterAFullSocketDrains) {
  Win32Backend backend;
  service::MainLoop& loop = backend.loop();
  const auto [ours, peer] = backend.ConnectedPair();
  const std::vector<char> block(64 * 1024, 'x');
  int refused_at = 0;
  for (int i = 0; i < 4096 && refused_at == 0; ++i) {  // bounded: buffers are far smaller
    if (::send(static_cast<SOCKET>(ours), block.data(), static_cast<int>(block.size()), 0) ==
        SOCKET_ERROR) {
      ASSERT_EQ(::WSAGetLastError(), WSAEWOULDBLOCK);
      refused_at = i + 1;
    }
  }
  ASSERT_NE(refused_at, 0) << "the socket never filled up";
  int writable = 0;
  bool drained = false;
  std::unique_ptr<service::SocketWatch> watch;
  watch = loop.WatchSocket(
      ours, [] {},
      [&] {
        ++writable;
        EXPECT_TRUE(drained) << "reported writable while full";
        watch->WatchWritable(false);
        loop.Quit();
      });
  watch->WatchWritable(true);
  auto drain = loop.MakeTimer([&, peer = peer] {
    drained = true;
    u_long non_blocking = 1;
    ::ioctlsocket(static_cast<SOCKET>(peer), FIONBIO, &non_blocking);
    backend.Drain(peer);
  });
  drain->StartOnce(milliseconds(50));
  RunBounded(loop);
  EXPECT_EQ(writable, 1);

  watch->WatchWritable(true);  // room now: told without any send refused
  RunBounded(loop);
  EXPECT_EQ(writable, 2);
}

// A timer that expired while the loop was busy, then restarted, runs on its
// new delay only: the expiry of its earlier run is not delivered late.
TEST(Win32MainLoopTest, RestartedTimerIgnoresItsEarlierExpiry) {
  service::Win32MainLoop loop;
  int runs = 0;
  auto timer = loop.MakeTimer([&] { ++runs; });
  timer->StartOnce(milliseconds(1));
  ::Sleep(50);  // expired, not yet delivered: the loop does not run
  timer->StartOnce(milliseconds(60'000));
  auto end = loop.MakeTimer([&] { loop.Quit(); });
  end->StartOnce(milliseconds(100));
  RunBounded(loop);
  EXPECT_EQ(runs, 0);
  EXPECT_TRUE(timer->IsActive());
}

// Quit from another thread ends Run; a thread waiting in a hand-over for
// work the loop never ran is released when the loop is destroyed.
TEST(Win32MainLoopTest, QuitFromAnyThreadAndNoWaiterOutlivesTheLoop) {
  auto loop = std::make_unique<service::Win32MainLoop>();
  std::thread quitter([&] { loop->Quit(); });
  RunBounded(*loop);
  quitter.join();

  bool ran = false;
  service::HandOverBridge bridge(std::bind_front(&service::MainLoop::Post, loop.get()));
  ::GetQueueStatus(QS_POSTMESSAGE);  // from here on, a new posted message is the waiter's
  std::thread waiter([&] { bridge.RunInMainThread([&] { ran = true; }); });
  // Bounded wait until the work is queued for this (the main) thread.
  bool queued = false;
  for (int i = 0; i < 500 && !queued; ++i) {
    queued = (LOWORD(::GetQueueStatus(QS_POSTMESSAGE)) & QS_POSTMESSAGE) != 0;
    if (!queued) ::Sleep(10);
  }
  EXPECT_TRUE(queued) << "the waiter never posted its work";
  loop.reset();
  waiter.join();  // hangs here if the waiter was never released
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace orvik::testing

// A main-loop backend for the contract in main_loop_contract.h on POSIX: the
// loop `Loop` and a connected pair of non-blocking Unix stream sockets.
#pragma once

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <tuple>
#include <utility>

#include "platform/posix/unique_fd.h"
#include "service/main_loop.h"

namespace orvik::testing {

// A connected pair of non-blocking Unix stream sockets (both -1 on failure,
// which fails the test).
inline std::pair<platform::UniqueFd, platform::UniqueFd> MakeSocketPair() {
  int fds[2] = {-1, -1};
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) {
    ADD_FAILURE() << "socketpair failed";
  }
  return {platform::UniqueFd(fds[0]), platform::UniqueFd(fds[1])};
}

template <typename Loop>
class SocketPairBackend {
 public:
  Loop& loop() { return loop_; }

  // The two ends stay open as long as the backend.
  std::pair<service::NativeSocket, service::NativeSocket> ConnectedPair() {
    std::tie(ours_, peer_) = MakeSocketPair();
    return {ours_.get(), peer_.get()};
  }
  void Write(service::NativeSocket socket, char byte) {
    EXPECT_EQ(::write(static_cast<int>(socket), &byte, 1), 1);
  }
  void Drain(service::NativeSocket socket) {
    char sink[64];
    while (::read(static_cast<int>(socket), sink, sizeof sink) > 0) {
    }
  }

 private:
  Loop loop_;
  platform::UniqueFd ours_;
  platform::UniqueFd peer_;
};

}  // namespace orvik::testing

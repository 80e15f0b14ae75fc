// The Qt backend of the main loop against the common contract.
#include <sys/socket.h>
#include <unistd.h>

#include <utility>

#include "platform/unique_fd.h"
#include "service/qt/qt_main_loop.h"
#include "support/main_loop_contract.h"

namespace orvik::testing {
namespace {

class QtBackend {
 public:
  service::MainLoop& loop() { return loop_; }

  std::pair<service::NativeSocket, service::NativeSocket> ConnectedPair() {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) {
      ADD_FAILURE() << "socketpair failed";
      return {-1, -1};
    }
    ours_.reset(fds[0]);
    peer_.reset(fds[1]);
    return {fds[0], fds[1]};
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
  service::QtMainLoop loop_;
  platform::UniqueFd ours_;
  platform::UniqueFd peer_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Qt, MainLoopContract, QtBackend);

}  // namespace
}  // namespace orvik::testing

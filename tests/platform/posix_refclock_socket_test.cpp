// PosixRefclockSocket against real Unix sockets in a temporary folder.
#include "platform/posix/posix_refclock_socket.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/posix/unique_fd.h"
#include "support/temp_dir.h"

namespace orvik::platform {
namespace {

namespace fs = std::filesystem;

const std::vector<std::uint8_t> kSample(40, 0x5a);

// A socket of `type` bound at `path` (a datagram receiver, or a listener).
UniqueFd BoundSocket(const fs::path& path, int type = SOCK_DGRAM) {
  UniqueFd fd(::socket(AF_UNIX, type | SOCK_CLOEXEC, 0));
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      (type == SOCK_STREAM && ::listen(fd.get(), 1) != 0)) {
    fd.reset();
  }
  return fd;
}

// The next datagram waiting on `fd`, or nothing.
std::vector<std::uint8_t> Receive(const UniqueFd& fd) {
  std::vector<std::uint8_t> buffer(128);
  const ssize_t count = ::recv(fd.get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
  buffer.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
  return buffer;
}

TEST(PosixRefclockSocket, DeliversEachDatagramWhole) {
  testing::TempDir dir;
  const UniqueFd receiver = BoundSocket(dir.path() / "refclock.sock");
  ASSERT_TRUE(receiver.valid());
  PosixRefclockSocket socket((dir.path() / "refclock.sock").string());
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(socket.Send(kSample).ok());
    EXPECT_EQ(Receive(receiver), kSample);
  }
}

TEST(PosixRefclockSocket, FailsWithAPlainReason) {
  testing::TempDir dir;
  dir.WriteFile("file", "not a socket");
  const UniqueFd listener = BoundSocket(dir.path() / "stream.sock", SOCK_STREAM);
  ASSERT_TRUE(listener.valid());
  { const UniqueFd gone = BoundSocket(dir.path() / "stale.sock"); }  // its file stays
  struct Case {
    std::string path;
    const char* reason;
  };
  const Case cases[] = {
      {"", "no socket path"},
      {(dir.path() / "missing.sock").string(), "no such socket"},
      {(dir.path() / "file").string(), "nothing listens on it"},
      {(dir.path() / "stale.sock").string(), "nothing listens on it"},
      {(dir.path() / "stream.sock").string(), "not a datagram socket"},
      {(dir.path() / "file" / "x.sock").string(),
       "no such socket (a part of the path is not a folder)"},
      {"/tmp/" + std::string(120, 'x'), "path too long"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const core::Status sent = PosixRefclockSocket(c.path).Send(kSample);
    EXPECT_EQ(sent.code(), core::StatusCode::kSocketError);
    EXPECT_EQ(sent.message(), c.reason);
  }
}

TEST(PosixRefclockSocket, NeverBlocksOnAReceiverThatDoesNotRead) {
  testing::TempDir dir;
  const UniqueFd receiver = BoundSocket(dir.path() / "refclock.sock");
  ASSERT_TRUE(receiver.valid());
  PosixRefclockSocket socket((dir.path() / "refclock.sock").string());
  core::Status sent;
  int sends = 0;
  for (; sends < 100'000 && sent.ok(); ++sends) sent = socket.Send(kSample);
  ASSERT_FALSE(sent.ok()) << "the queue never filled after " << sends << " datagrams";
  EXPECT_EQ(sent.message(), "its queue is full (the daemon is not reading)");
  while (!Receive(receiver).empty()) {
  }
  EXPECT_TRUE(socket.Send(kSample).ok());
}

TEST(PosixRefclockSocket, ReachesASocketThatAppearsOrIsMadeAnew) {
  testing::TempDir dir;
  const fs::path path = dir.path() / "refclock.sock";
  PosixRefclockSocket socket(path.string());
  EXPECT_FALSE(socket.Send(kSample).ok());
  {
    const UniqueFd first = BoundSocket(path);
    ASSERT_TRUE(socket.Send(kSample).ok());
    EXPECT_EQ(Receive(first), kSample);
  }
  fs::remove(path);  // as a restarting daemon does before it binds again
  const UniqueFd second = BoundSocket(path);
  ASSERT_TRUE(socket.Send(kSample).ok());
  EXPECT_EQ(Receive(second), kSample);
}

}  // namespace
}  // namespace orvik::platform

#include "platform/posix/posix_refclock_socket.h"

#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

namespace orvik::platform {

namespace {

core::Status Failure(std::string reason) {
  return core::Status::Error(core::StatusCode::kSocketError, std::move(reason));
}

}  // namespace

std::string RefclockSendFailureReason(int error) {
  switch (error) {
    case ENOENT:
      return "no such socket";
    case ENOTDIR:
      return "no such socket (a part of the path is not a folder)";
    case ECONNREFUSED:
      return "nothing listens on it";
    case EPROTOTYPE:
      return "not a datagram socket";
    case EACCES:
    case EPERM:
      return "permission denied";
    case EAGAIN:
      return "its queue is full (the daemon is not reading)";
    case ENOBUFS:
    case ENOMEM:
      return "out of buffer space";
    case EMSGSIZE:
      return "datagram too large";
    case ELOOP:
      return "too many symbolic links in the path";
    case ENAMETOOLONG:
      return "path too long";
    default:
      return "error " + std::to_string(error);
  }
}

PosixRefclockSocket::PosixRefclockSocket(std::string path) : path_(std::move(path)) {}

core::Status PosixRefclockSocket::Send(std::span<const std::uint8_t> bytes) {
  if (path_.empty()) return Failure("no socket path");
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // The path and its terminating NUL must fit; a longer one would be cut
  // into the path of some other socket.
  if (path_.size() >= sizeof address.sun_path) return Failure("path too long");
  std::memcpy(address.sun_path, path_.data(), path_.size());

  if (!fd_.valid()) {
    fd_.reset(::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd_.valid()) {
      return Failure("no socket could be opened: " + RefclockSendFailureReason(errno));
    }
  }
  const ssize_t sent = ::sendto(fd_.get(), bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                                reinterpret_cast<const sockaddr*>(&address), sizeof address);
  if (sent < 0) return Failure(RefclockSendFailureReason(errno == EWOULDBLOCK ? EAGAIN : errno));
  // A datagram goes whole or not at all; anything else is no sample.
  if (static_cast<std::size_t>(sent) != bytes.size()) return Failure("datagram cut short");
  return core::Status::Ok();
}

}  // namespace orvik::platform

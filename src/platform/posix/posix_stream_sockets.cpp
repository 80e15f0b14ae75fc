// The stream sockets on BSD sockets (Linux).
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/socket_address_text.h"
#include "platform/stream_sockets.h"

namespace orvik::platform {
namespace {

int Fd(SocketHandle socket) { return static_cast<int>(socket); }

core::Status SocketError(int error_number, std::string_view api) {
  return core::Status::Error(core::StatusCode::kSocketError, SocketErrorText(error_number, api));
}

bool IsWouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

// Errors of accept() that belong to the one connection it tried to take
// (a network error already pending on it); the next one may be fine.
bool IsAbortedConnection(int error) {
  switch (error) {
    case ECONNABORTED:
    case EPROTO:
    case ENETDOWN:
    case ENOPROTOOPT:
    case EHOSTDOWN:
    case ENONET:
    case EHOSTUNREACH:
    case EOPNOTSUPP:
    case ENETUNREACH:
    case EPERM:  // refused by a firewall rule
      return true;
    default:
      return false;
  }
}

}  // namespace

void CloseStreamSocket(SocketHandle socket) {
  if (socket != kNoSocket) ::close(Fd(socket));
}

int MaxListenBacklog() { return SOMAXCONN; }

std::string SocketErrorText(int error_number, std::string_view api) {
  return SocketErrorText(std::strerror(error_number), error_number, api);
}

std::string SocketErrorText(std::string_view text, int number, std::string_view api) {
  char message[320];
  std::snprintf(message, sizeof message, "Windows socket error: %.*s (%d), on API '%.*s'",
                static_cast<int>(text.size()), text.data(), number, static_cast<int>(api.size()),
                api.data());
  return message;
}

core::Result<StreamSocket> OpenListeningSocket(std::uint16_t port, int backlog) {
  constexpr int kType = SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC;
  bool ipv6 = true;
  StreamSocket socket(::socket(AF_INET6, kType, 0));
  if (!socket.valid() && (errno == EAFNOSUPPORT || errno == EPROTONOSUPPORT)) {
    ipv6 = false;  // a host without IPv6: all IPv4 addresses only
    socket.reset(::socket(AF_INET, kType, 0));
  }
  if (!socket.valid()) return SocketError(errno, "socket");
  const int fd = Fd(socket.get());

  // A restarted program may bind again while old connections linger in TIME_WAIT.
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);

  int bound = 0;
  if (ipv6) {
    const int off = 0;  // accept IPv4 clients too, as mapped addresses
    ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_any;
    address.sin6_port = htons(port);
    bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } else {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  }
  if (bound != 0) return SocketError(errno, "bind");
  if (::listen(fd, backlog) != 0) return SocketError(errno, "listen");
  return socket;
}

std::uint16_t BoundPort(SocketHandle socket) {
  sockaddr_storage address{};
  socklen_t size = sizeof address;
  if (::getsockname(Fd(socket), reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
  std::uint16_t port = 0;
  SocketAddressText(address, port);
  return port;
}

AcceptResult AcceptConnection(SocketHandle listener) {
  AcceptResult result;
  sockaddr_storage peer{};
  socklen_t size = sizeof peer;
  const int fd = ::accept4(Fd(listener), reinterpret_cast<sockaddr*>(&peer), &size,
                           SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    result.status = IsWouldBlock(error)          ? AcceptStatus::kNoneWaiting
                    : IsAbortedConnection(error) ? AcceptStatus::kAborted
                                                 : AcceptStatus::kOutOfResources;
    return result;
  }
  result.connection.reset(fd);
  // Each record is a whole message: out at once, never held to fill a segment.
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  result.address = SocketAddressText(peer, result.port);
  result.status = AcceptStatus::kAccepted;
  return result;
}

SendResult SendSome(SocketHandle socket, std::span<const std::uint8_t> bytes) {
  const ssize_t sent = ::send(Fd(socket), bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
  if (sent >= 0) return {SendStatus::kSent, static_cast<std::size_t>(sent)};
  return {IsWouldBlock(errno) ? SendStatus::kWouldBlock : SendStatus::kFailed, 0};
}

ReceiveStatus DiscardReceived(SocketHandle socket, std::size_t limit) {
  std::array<char, 4096> sink;
  for (std::size_t taken = 0; taken < limit;) {
    const ssize_t got =
        ::recv(Fd(socket), sink.data(), std::min(sink.size(), limit - taken), MSG_DONTWAIT);
    if (got == 0) return ReceiveStatus::kPeerClosed;
    if (got < 0) return IsWouldBlock(errno) ? ReceiveStatus::kOpen : ReceiveStatus::kFailed;
    taken += static_cast<std::size_t>(got);
  }
  return ReceiveStatus::kOpen;
}

std::size_t ConnectionCapWithinDescriptorLimit(std::size_t wanted, std::size_t reserve) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return wanted;
  const auto soft = static_cast<std::size_t>(limit.rlim_cur);
  const std::size_t room = soft > reserve ? soft - reserve : 1;
  return std::max<std::size_t>(1, std::min(wanted, room));
}

std::string ReverseLookUp(const std::string& address) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_flags = AI_NUMERICHOST;
  addrinfo* numeric = nullptr;
  if (::getaddrinfo(address.c_str(), nullptr, &hints, &numeric) != 0) return "";
  char name[NI_MAXHOST] = "";
  const int answer = ::getnameinfo(numeric->ai_addr, numeric->ai_addrlen, name, sizeof name,
                                   nullptr, 0, NI_NAMEREQD);
  ::freeaddrinfo(numeric);
  return answer == 0 ? name : "";
}

}  // namespace orvik::platform

#include "service/listening_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace orvik::service {
namespace {

core::Status SocketError(int error_number, std::string_view api) {
  return core::Status::Error(core::StatusCode::kSocketError, SocketErrorText(error_number, api));
}

}  // namespace

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

core::Result<platform::UniqueFd> OpenListeningSocket(std::uint16_t port, int backlog) {
  constexpr int kType = SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC;
  bool ipv6 = true;
  platform::UniqueFd fd(::socket(AF_INET6, kType, 0));
  if (!fd.valid() && (errno == EAFNOSUPPORT || errno == EPROTONOSUPPORT)) {
    ipv6 = false;  // a host without IPv6: all IPv4 addresses only
    fd.reset(::socket(AF_INET, kType, 0));
  }
  if (!fd.valid()) return SocketError(errno, "socket");

  // A restarted program may bind again while old connections linger in TIME_WAIT.
  const int on = 1;
  ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);

  int bound = 0;
  if (ipv6) {
    const int off = 0;  // accept IPv4 clients too, as mapped addresses
    ::setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_any;
    address.sin6_port = htons(port);
    bound = ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } else {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    bound = ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  }
  if (bound != 0) return SocketError(errno, "bind");
  if (::listen(fd.get(), backlog) != 0) return SocketError(errno, "listen");
  return fd;
}

std::size_t ConnectionCapWithinDescriptorLimit(std::size_t wanted, std::size_t reserve) {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return wanted;
  const auto soft = static_cast<std::size_t>(limit.rlim_cur);
  const std::size_t room = soft > reserve ? soft - reserve : 1;
  return std::max<std::size_t>(1, std::min(wanted, room));
}

}  // namespace orvik::service

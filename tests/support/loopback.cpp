#include "support/loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace orvik::testing {

using platform::UniqueFd;

namespace {

sockaddr_in Ipv4Address(std::uint32_t host, std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(host);
  address.sin_port = htons(port);
  return address;
}

bool Bind(const UniqueFd& fd, std::uint32_t host, std::uint16_t port) {
  const sockaddr_in address = Ipv4Address(host, port);
  return fd.valid() &&
         ::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

}  // namespace

bool CanConnect(std::uint16_t port) {
  const UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_in address = Ipv4Address(INADDR_LOOPBACK, port);
  return fd.valid() &&
         ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool PortIsFree(std::uint16_t port) {
  const UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const int on = 1;  // connections in TIME_WAIT do not count
  ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  return Bind(fd, INADDR_ANY, port);
}

UniqueFd ListenOnAllAddresses(std::uint16_t port) {
  UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!Bind(fd, INADDR_ANY, port) || ::listen(fd.get(), 4) != 0) fd.reset();
  return fd;
}

}  // namespace orvik::testing

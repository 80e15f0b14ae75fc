#include "platform/socket_address_text.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace orvik::platform {

std::string SocketAddressText(const sockaddr_storage& peer, std::uint16_t& port) {
  char text[INET6_ADDRSTRLEN] = "";
  if (peer.ss_family == AF_INET) {
    const auto& v4 = reinterpret_cast<const sockaddr_in&>(peer);
    port = ntohs(v4.sin_port);
    ::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
  } else if (peer.ss_family == AF_INET6) {
    const auto& v6 = reinterpret_cast<const sockaddr_in6&>(peer);
    port = ntohs(v6.sin6_port);
    if (IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr)) {
      // An IPv4 client on the dual-stack listener: its last four bytes.
      ::inet_ntop(AF_INET, &v6.sin6_addr.s6_addr[12], text, sizeof text);
    } else {
      ::inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
    }
  }
  return text;
}

}  // namespace orvik::platform

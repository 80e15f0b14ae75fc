// The text of a peer's address as the Connections window and the logs show
// it ("192.168.1.20", "fe80::1"), the same on every platform: an IPv4 client
// on the dual-stack listener shows as IPv4.
#pragma once

#include <cstdint>
#include <string>

struct sockaddr_storage;

namespace orvik::platform {

// The address of `peer` (empty for a family other than IPv4 and IPv6); its
// port goes to `port`.
std::string SocketAddressText(const sockaddr_storage& peer, std::uint16_t& port);

}  // namespace orvik::platform

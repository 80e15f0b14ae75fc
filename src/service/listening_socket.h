// Helpers of the time server that speak to the OS directly: the listening
// socket (so that a failure names the exact call and its error number) and the
// connection cap that keeps the process inside its descriptor limit.
// Any thread may call them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/status.h"
#include "platform/unique_fd.h"

namespace orvik::service {

// Returns a non-blocking, close-on-exec TCP socket bound to `port` on every
// local address (IPv6 and IPv4 together where the host has IPv6, else IPv4)
// and listening with `backlog`; port 0 lets the system choose. On failure the
// status is kSocketError with the text of SocketErrorText for the failing call.
core::Result<platform::UniqueFd> OpenListeningSocket(std::uint16_t port, int backlog);

// Returns "Windows socket error: <system text> (<number>), on API '<api>'": the
// operator's message for a listener that could not be set up.
std::string SocketErrorText(int error_number, std::string_view api);
// The same message with the text and number given.
std::string SocketErrorText(std::string_view text, int number, std::string_view api);

// Returns `wanted`, lowered so that that many connections plus `reserve` other
// descriptors fit under the soft limit of open files; at least 1.
std::size_t ConnectionCapWithinDescriptorLimit(std::size_t wanted, std::size_t reserve = 64);

}  // namespace orvik::service

// Stream sockets of the LAN time service: a non-blocking TCP listener, the
// connections it accepts, sends that never block and never raise SIGPIPE,
// reading and discarding what a client sends, and the reverse lookup of a
// client's address. Thin over the system's sockets (BSD sockets on POSIX,
// Winsock on Windows), so the server above them is the same everywhere.
// Any thread may call the functions; one socket is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "core/status.h"

namespace orvik::platform {

// A socket as the system names it: the descriptor on POSIX, the SOCKET handle
// on Windows (whose INVALID_SOCKET is -1 here too).
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

// Closes `socket` (close, closesocket). kNoSocket: nothing happens.
void CloseStreamSocket(SocketHandle socket);

// Sole owner of one socket; closes it on destruction. Move-only.
class StreamSocket {
 public:
  StreamSocket() = default;
  explicit StreamSocket(SocketHandle socket) : socket_(socket) {}
  ~StreamSocket() { reset(); }

  StreamSocket(StreamSocket&& other) noexcept : socket_(other.release()) {}
  StreamSocket& operator=(StreamSocket&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  StreamSocket(const StreamSocket&) = delete;
  StreamSocket& operator=(const StreamSocket&) = delete;

  SocketHandle get() const { return socket_; }
  bool valid() const { return socket_ != kNoSocket; }
  SocketHandle release() { return std::exchange(socket_, kNoSocket); }
  void reset(SocketHandle socket = kNoSocket) { CloseStreamSocket(std::exchange(socket_, socket)); }

 private:
  SocketHandle socket_ = kNoSocket;
};

// The longest queue of connections waiting for accept that the system
// allows a listener (SOMAXCONN).
int MaxListenBacklog();

// Returns a non-blocking TCP socket (not inherited by child programs) bound to
// `port` on every local address (IPv6 and IPv4 together where the host has
// IPv6, else IPv4) and listening with `backlog`; port 0 lets the system
// choose. On failure the status is kSocketError with the text of
// SocketErrorText for the failing call ("socket", "bind" or "listen").
core::Result<StreamSocket> OpenListeningSocket(std::uint16_t port, int backlog);

// The local port `socket` is bound to; 0 when it cannot be told.
std::uint16_t BoundPort(SocketHandle socket);

enum class AcceptStatus {
  kAccepted,        // a connection was taken
  kNoneWaiting,     // nothing to accept now
  kAborted,         // the next one failed before it was taken; try again
  kOutOfResources,  // descriptors or memory ran out (or another refusal): pause
};

struct AcceptResult {
  AcceptStatus status = AcceptStatus::kNoneWaiting;
  // kAccepted: the connection, non-blocking, sending each write at once.
  StreamSocket connection;
  // The peer's address: IPv4 in dotted form also when it reached a
  // dual-stack listener as a mapped IPv6 address; else IPv6 text.
  std::string address;
  std::uint16_t port = 0;
};

// Accepts one pending connection of `listener` without blocking.
AcceptResult AcceptConnection(SocketHandle listener);

enum class SendStatus {
  kSent,        // `bytes` of the data were taken (maybe fewer than offered)
  kWouldBlock,  // nothing was taken: the socket's buffer is full
  kFailed,      // the connection is broken (reset, closed, ...)
};

struct SendResult {
  SendStatus status = SendStatus::kFailed;
  std::size_t bytes = 0;
};

// Sends what `socket` takes of `bytes` now; never blocks, never raises SIGPIPE.
SendResult SendSome(SocketHandle socket, std::span<const std::uint8_t> bytes);

enum class ReceiveStatus {
  kOpen,        // whatever was there is gone; the connection stays
  kPeerClosed,  // the peer closed its side
  kFailed,      // the connection is broken
};

// Reads what the peer sent and throws it away: at most `limit` bytes, so one
// talkative client cannot hold the caller; the rest waits for the next call.
ReceiveStatus DiscardReceived(SocketHandle socket, std::size_t limit);

// Returns "Windows socket error: <system text> (<number>), on API '<api>'":
// the operator's message for a listener that could not be set up.
std::string SocketErrorText(int error_number, std::string_view api);
// The same message with the text and number given.
std::string SocketErrorText(std::string_view text, int number, std::string_view api);

// Returns `wanted`, lowered so that that many connections plus `reserve` other
// descriptors fit under the process's limit of open files; at least 1.
std::size_t ConnectionCapWithinDescriptorLimit(std::size_t wanted, std::size_t reserve = 64);

// The host name of the numeric address `address` (IPv4 dotted or IPv6), or
// "" when it has none or is no numeric address. Blocks while the name
// service answers, as long as the system's resolver time-outs allow.
std::string ReverseLookUp(const std::string& address);

}  // namespace orvik::platform

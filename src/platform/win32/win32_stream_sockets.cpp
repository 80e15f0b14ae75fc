// The stream sockets on Winsock 2. A SOCKET fits SocketHandle, and
// INVALID_SOCKET converts to kNoSocket.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/socket_address_text.h"
#include "platform/stream_sockets.h"
#include "platform/win32/win32_error_text.h"

#ifndef WSA_FLAG_NO_HANDLE_INHERIT
#define WSA_FLAG_NO_HANDLE_INHERIT 0x80
#endif

namespace orvik::platform {
namespace {

SOCKET Native(SocketHandle socket) { return static_cast<SOCKET>(socket); }

// Winsock is started once per process, on first use, and stays up until the
// process ends. Returns 0 or the error of WSAStartup.
int StartWinsock() {
  static const int started = [] {
    WSADATA data{};
    return ::WSAStartup(MAKEWORD(2, 2), &data);
  }();
  return started;
}

core::Status SocketError(int error_number, std::string_view api) {
  return core::Status::Error(core::StatusCode::kSocketError, SocketErrorText(error_number, api));
}

// Errors of accept() that belong to the one connection it tried to take.
bool IsAbortedConnection(int error) {
  return error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAENETDOWN ||
         error == WSAEINTR;
}

void MakeNonBlocking(SOCKET socket) {
  u_long on = 1;
  ::ioctlsocket(socket, FIONBIO, &on);
}

}  // namespace

void CloseStreamSocket(SocketHandle socket) {
  if (socket != kNoSocket) ::closesocket(Native(socket));
}

int MaxListenBacklog() { return SOMAXCONN; }

std::string SocketErrorText(int error_number, std::string_view api) {
  return SocketErrorText(Win32ErrorText(static_cast<DWORD>(error_number)), error_number, api);
}

std::string SocketErrorText(std::string_view text, int number, std::string_view api) {
  char message[320];
  std::snprintf(message, sizeof message, "Windows socket error: %.*s (%d), on API '%.*s'",
                static_cast<int>(text.size()), text.data(), number, static_cast<int>(api.size()),
                api.data());
  return message;
}

core::Result<StreamSocket> OpenListeningSocket(std::uint16_t port, int backlog) {
  if (const int error = StartWinsock(); error != 0) return SocketError(error, "WSAStartup");
  constexpr DWORD kFlags = WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT;
  bool ipv6 = true;
  StreamSocket socket(static_cast<SocketHandle>(
      ::WSASocketW(AF_INET6, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, kFlags)));
  if (!socket.valid() && ::WSAGetLastError() == WSAEAFNOSUPPORT) {
    ipv6 = false;  // a host without IPv6: all IPv4 addresses only
    socket.reset(static_cast<SocketHandle>(
        ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, kFlags)));
  }
  if (!socket.valid()) return SocketError(::WSAGetLastError(), "socket");
  const SOCKET s = Native(socket.get());

  // No other program may bind the same port beside us (SO_REUSEADDR would
  // allow exactly that here); connections in TIME_WAIT do not block a bind.
  const BOOL on = TRUE;
  ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on);
  MakeNonBlocking(s);

  int bound = 0;
  if (ipv6) {
    const DWORD off = 0;  // accept IPv4 clients too, as mapped addresses
    ::setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&off), sizeof off);
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_any;
    address.sin6_port = htons(port);
    bound = ::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  } else {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    address.sin_port = htons(port);
    bound = ::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  }
  if (bound != 0) return SocketError(::WSAGetLastError(), "bind");
  if (::listen(s, backlog) != 0) return SocketError(::WSAGetLastError(), "listen");
  return socket;
}

std::uint16_t BoundPort(SocketHandle socket) {
  sockaddr_storage address{};
  int size = sizeof address;
  if (::getsockname(Native(socket), reinterpret_cast<sockaddr*>(&address), &size) != 0) return 0;
  std::uint16_t port = 0;
  SocketAddressText(address, port);
  return port;
}

AcceptResult AcceptConnection(SocketHandle listener) {
  AcceptResult result;
  sockaddr_storage peer{};
  int size = sizeof peer;
  const SOCKET s = ::accept(Native(listener), reinterpret_cast<sockaddr*>(&peer), &size);
  if (s == INVALID_SOCKET) {
    const int error = ::WSAGetLastError();
    result.status = error == WSAEWOULDBLOCK      ? AcceptStatus::kNoneWaiting
                    : IsAbortedConnection(error) ? AcceptStatus::kAborted
                                                 : AcceptStatus::kOutOfResources;
    return result;
  }
  result.connection.reset(static_cast<SocketHandle>(s));
  ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
  MakeNonBlocking(s);
  // Each record is a whole message: out at once, never held to fill a segment.
  const BOOL on = TRUE;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  result.address = SocketAddressText(peer, result.port);
  result.status = AcceptStatus::kAccepted;
  return result;
}

SendResult SendSome(SocketHandle socket, std::span<const std::uint8_t> bytes) {
  const int size = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 30));
  const int sent = ::send(Native(socket), reinterpret_cast<const char*>(bytes.data()), size, 0);
  if (sent != SOCKET_ERROR) return {SendStatus::kSent, static_cast<std::size_t>(sent)};
  return {::WSAGetLastError() == WSAEWOULDBLOCK ? SendStatus::kWouldBlock : SendStatus::kFailed, 0};
}

ReceiveStatus DiscardReceived(SocketHandle socket, std::size_t limit) {
  std::array<char, 4096> sink;
  for (std::size_t taken = 0; taken < limit;) {
    const int want = static_cast<int>(std::min(sink.size(), limit - taken));
    const int got = ::recv(Native(socket), sink.data(), want, 0);
    if (got == 0) return ReceiveStatus::kPeerClosed;
    if (got == SOCKET_ERROR) {
      return ::WSAGetLastError() == WSAEWOULDBLOCK ? ReceiveStatus::kOpen : ReceiveStatus::kFailed;
    }
    taken += static_cast<std::size_t>(got);
  }
  return ReceiveStatus::kOpen;
}

std::size_t ConnectionCapWithinDescriptorLimit(std::size_t wanted, std::size_t /*reserve*/) {
  // Sockets are kernel handles here, with no small per-process limit.
  return std::max<std::size_t>(1, wanted);
}

std::string ReverseLookUp(const std::string& address) {
  if (StartWinsock() != 0) return "";
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_flags = AI_NUMERICHOST;
  addrinfo* numeric = nullptr;
  if (::getaddrinfo(address.c_str(), nullptr, &hints, &numeric) != 0) return "";
  char name[NI_MAXHOST] = "";
  const int answer = ::getnameinfo(numeric->ai_addr, static_cast<socklen_t>(numeric->ai_addrlen),
                                   name, sizeof name, nullptr, 0, NI_NAMEREQD);
  ::freeaddrinfo(numeric);
  return answer == 0 ? name : "";
}

}  // namespace orvik::platform

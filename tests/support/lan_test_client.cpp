#include "support/lan_test_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace orvik::testing {

LanTestClient::LanTestClient(std::uint16_t port, int receive_buffer, std::uint8_t host)
    : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0)) {
  if (receive_buffer > 0) {
    ::setsockopt(fd_.get(), SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
  }
  if (host != 0) {
    sockaddr_in source{};
    source.sin_family = AF_INET;
    source.sin_addr.s_addr = htonl((INADDR_LOOPBACK & 0xFFFFFF00u) | host);
    ::bind(fd_.get(), reinterpret_cast<const sockaddr*>(&source), sizeof source);
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  // Non-blocking: completes once the server's event loop has accepted.
  ::connect(fd_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
}

bool LanTestClient::Connected() const {
  pollfd ready{fd_.get(), POLLOUT, 0};
  int error = 0;
  socklen_t size = sizeof error;
  return ::poll(&ready, 1, 0) == 1 && (ready.revents & POLLOUT) != 0 &&
         ::getsockopt(fd_.get(), SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

void LanTestClient::Drain() {
  if (paused_ || ended_ || !fd_.valid()) return;
  std::array<std::uint8_t, 65536> buffer;
  for (int i = 0; i < 1024; ++i) {
    const ssize_t got = ::read(fd_.get(), buffer.data(), buffer.size());
    if (got > 0) {
      received_.insert(received_.end(), buffer.begin(), buffer.begin() + got);
      continue;
    }
    if (got == 0 || (errno != EAGAIN && errno != EINTR && errno != ENOTCONN)) ended_ = true;
    return;
  }
}

std::size_t LanTestClient::Send(std::span<const std::uint8_t> bytes) {
  const ssize_t sent = ::send(fd_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
  return sent > 0 ? static_cast<std::size_t>(sent) : 0;
}

void LanTestClient::Close(bool reset) {
  if (reset) {
    const linger abortive{1, 0};
    ::setsockopt(fd_.get(), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
  }
  fd_.reset();
}

std::uint16_t LanTestClient::local_port() const {
  sockaddr_in address{};
  socklen_t size = sizeof address;
  ::getsockname(fd_.get(), reinterpret_cast<sockaddr*>(&address), &size);
  return ntohs(address.sin_port);
}

core::TimeMessage NumberedRecord(std::uint32_t sequence) {
  core::TimeMessage record{12, 7, 7, 234, 13, 5, 0};  // 2026-12-07 13:05:00
  record[7] = static_cast<std::uint8_t>(sequence >> 24);
  record[8] = static_cast<std::uint8_t>(sequence >> 16);
  record[9] = static_cast<std::uint8_t>(sequence >> 8);
  record[10] = static_cast<std::uint8_t>(sequence);
  record[core::kOffsetVisible] = 9;
  record[core::kOffsetTracked] = 7;
  record[36] = 251;
  record[37] = 252;
  record[38] = 253;
  return record;
}

std::uint32_t SequenceOf(std::span<const std::uint8_t> record) {
  return std::uint32_t{record[7]} << 24 | std::uint32_t{record[8]} << 16 |
         std::uint32_t{record[9]} << 8 | record[10];
}

}  // namespace orvik::testing

// LanTestClient: a raw TCP client on loopback for tests of the time server,
// and the numbered records those tests send. Test thread only.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "core/time_message.h"
#include "platform/posix/unique_fd.h"

namespace orvik::testing {

class LanTestClient {
 public:
  // Starts a non-blocking connection to 127.0.0.1:`port`. A positive
  // `receive_buffer` sets SO_RCVBUF first (a small one makes a slow reader).
  // A non-zero `host` (2..254) connects from 127.0.0.`host`, which the server
  // sees as another machine.
  LanTestClient(std::uint16_t port, int receive_buffer = 0, std::uint8_t host = 0);

  // Whether the TCP handshake has completed, as the client sees it.
  bool Connected() const;
  // Reads everything available now (unless paused). Notes an end of stream.
  void Drain();
  // A paused client reads nothing, so its receive window fills up.
  void set_paused(bool paused) { paused_ = paused; }
  // Sends as much of `bytes` as the socket takes now; returns how much.
  std::size_t Send(std::span<const std::uint8_t> bytes);
  // Closes at once; with `reset`, the peer sees a connection reset.
  void Close(bool reset = false);

  const std::vector<std::uint8_t>& received() const { return received_; }
  // Whether the server closed or reset the connection.
  bool ended() const { return ended_; }
  // The client's own port, as the server sees it.
  std::uint16_t local_port() const;

 private:
  platform::UniqueFd fd_;
  std::vector<std::uint8_t> received_;
  bool paused_ = false;
  bool ended_ = false;
};

// A valid record whose bytes 7..10 carry `sequence`, most significant first.
core::TimeMessage NumberedRecord(std::uint32_t sequence);
// The sequence number NumberedRecord put into `record`.
std::uint32_t SequenceOf(std::span<const std::uint8_t> record);

}  // namespace orvik::testing

// PosixRefclockSocket: sends datagrams to the Unix datagram socket at a path
// (AF_UNIX, SOCK_DGRAM), such as the socket of a chrony SOCK refclock.
//
// Every Send looks the path up again (an unconnected sendto), so a socket
// that appears later, or is made anew when chronyd restarts, is reached
// without any other action. The sending socket is opened at the first Send
// and kept, non-blocking: a receiver that does not read makes Send fail, never
// wait. Safe to call once a second for ever: nothing grows, one descriptor.
// Threads: one thread at a time.
#pragma once

#include <string>

#include "platform/posix/unique_fd.h"
#include "platform/refclock_socket.h"

namespace orvik::platform {

class PosixRefclockSocket : public RefclockSocket {
 public:
  // Datagrams go to the socket at `path`; nothing is opened yet.
  explicit PosixRefclockSocket(std::string path);

  // Sends `bytes` to the path. Fails with kSocketError when the path is empty
  // or too long for a Unix socket address, when no socket exists there, when
  // it refuses the datagram or its queue is full, and on any other error of
  // the system, each with its plain reason.
  core::Status Send(std::span<const std::uint8_t> bytes) override;

 private:
  std::string path_;
  UniqueFd fd_;
};

// Returns the plain reason for the errno value `error` of a failed send to a
// Unix datagram socket, e.g. "no such socket" for ENOENT.
std::string RefclockSendFailureReason(int error);

}  // namespace orvik::platform

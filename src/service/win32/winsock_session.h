// WinsockSession: Winsock 2.2 started for the life of the object
// (WSAStartup / WSACleanup). A Windows program holds one in main() before it
// creates any socket.
#pragma once

#include <winsock2.h>

namespace orvik::service {

class WinsockSession {
 public:
  WinsockSession() {
    WSADATA data;
    started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }
  ~WinsockSession() {
    if (started_) ::WSACleanup();
  }
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;

  bool ok() const { return started_; }

 private:
  bool started_ = false;
};

}  // namespace orvik::service

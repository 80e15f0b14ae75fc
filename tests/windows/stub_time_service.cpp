// A stand-in for the time service "OrvikGpsTime" in the tests of the
// desktop program beside it: a Windows service that reports itself running
// to the service manager and, like the service, pushes a 39-byte time record
// each second to every client on 127.0.0.1:1609: the date 15.7.2031, the
// time 10:20:<seconds since start>, 9 satellites visible and 7 tracked. It
// stops when the service manager asks, or after ten minutes. Started only by
// the service manager (tests/windows/desktop_beside_service_e2e.sh registers
// it), under wine in a network namespace of the test's own; every wine
// process there runs under `setpriv --bounding-set -sys_time`, and the
// script checks this service's process has no CAP_SYS_TIME. It never sets
// the clock itself.
#include <winsock2.h>
// after winsock2.h
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "core/time_message.h"

namespace {

SERVICE_STATUS_HANDLE status_handle = nullptr;
std::atomic<bool> stop_requested{false};

void Report(DWORD state) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  ::SetServiceStatus(status_handle, &status);
}

DWORD WINAPI Control(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP) {
    stop_requested = true;
    Report(SERVICE_STOP_PENDING);
  }
  return NO_ERROR;
}

orvik::core::TimeMessage RecordAt(std::uint8_t second) {
  using namespace orvik::core;
  TimeMessage record{};
  record[kOffsetMonth] = 7;
  record[kOffsetDay] = 15;
  WriteBeU16(record, kOffsetYear, 2031);
  record[kOffsetHour] = 10;
  record[kOffsetMinute] = 20;
  record[kOffsetSecond] = second;
  record[kOffsetVisible] = 9;
  record[kOffsetTracked] = 7;
  for (std::size_t i = 0; i < kEndMark.size(); ++i) record[kOffsetEndMark + i] = kEndMark[i];
  return record;
}

void Serve() {
  const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = ::htons(1609);
  address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
  ::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  ::listen(listener, 8);
  u_long non_blocking = 1;
  ::ioctlsocket(listener, FIONBIO, &non_blocking);
  std::vector<SOCKET> clients;
  for (int tick = 0; tick < 600 && !stop_requested; ++tick) {
    for (SOCKET client; (client = ::accept(listener, nullptr, nullptr)) != INVALID_SOCKET;) {
      clients.push_back(client);
    }
    const orvik::core::TimeMessage record = RecordAt(static_cast<std::uint8_t>(tick % 60));
    for (const SOCKET client : clients) {
      ::send(client, reinterpret_cast<const char*>(record.data()), static_cast<int>(record.size()),
             0);
    }
    ::Sleep(1000);
  }
  for (const SOCKET client : clients) ::closesocket(client);
  ::closesocket(listener);
}

void WINAPI ServiceMain(DWORD, wchar_t**) {
  status_handle = ::RegisterServiceCtrlHandlerExW(L"OrvikGpsTime", &Control, nullptr);
  WSADATA data;
  ::WSAStartup(MAKEWORD(2, 2), &data);
  Report(SERVICE_RUNNING);
  Serve();
  ::WSACleanup();
  Report(SERVICE_STOPPED);
}

}  // namespace

int main() {
  wchar_t name[] = L"OrvikGpsTime";
  const SERVICE_TABLE_ENTRYW table[] = {{name, &ServiceMain}, {nullptr, nullptr}};
  return ::StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
